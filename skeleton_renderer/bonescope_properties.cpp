#include "skeleton_renderer/bonescope_actor.h"

// Declarations, one line each in input and output order; the host's grammar
// wants every line, the last included, to end with a carriage return.
namespace {
constexpr const char kParameterString[] =
    "INPROP\t\tskeleton_in\t\tskli\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
    "INPROP\t\tobj_type\t\tobtp\tint\t\t\t\tpropdef\t\t\t\t0\t\t1\t\t1\r"
    "INPROP\t\tobj_size\t\tobsz\tfloat\t\t\tnumber\t\t\t\t0\t\t*\t\t5\r"
    "INPROP\t\tobj_sides\t\tobjs\tint\t\t\t\tnumber\t\t\t\t3\t\t*\t\t16\r"
    "INPROP\t\tobj_intensity\tobji\tfloat\t\t\tnumber\t\t\t\t0\t\t100\t\t100\r"
    "INPROP\t\tobj_rot_x\t\tobrx\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\tobj_rot_y\t\tobry\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\tobj_rot_z\t\tobrz\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\tlighting\t\tlght\tint\t\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
    "INPROP\t\trender_back\t\trbak\tint\t\t\t\tonoff\t\t\t\t0\t\t1\t\t0\r"
    "INPROP\t\tdepth_test\t\tdpts\tint\t\t\t\tonoff\t\t\t\t0\t\t1\t\t1\r"
    "INPROP\t\tx_rotation\t\txrot\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\ty_rotation\t\tyrot\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\tz_rotation\t\tzrot\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\tx_translate\t\txtrn\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\ty_translate\t\tytrn\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "INPROP\t\tz_translate\t\tztrn\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t-3\r"
    "INPROP\t\tdraw_origin\t\torgd\tbool\t\t\tonoff\t\t\t\t0\t\t*\t\t1\r"
    "INPROP\t\torigin_size\t\torgs\tfloat\t\t\tnumber\t\t\t\t0\t\t*\t\t1\r"
    "INPROP \twidth\t\t\twidth\tint\t\t\t\tnumber\t\t\t\t4\t\t*\t\t1280\r"
    "INPROP \theight\t\t\thght\tint\t\t\t\tnumber\t\t\t\t4\t\t*\t\t720\r"
    "OUTPROP\tvideo_out\t\tvout\tdata\t\t\ttexture\t\t\t\t*\t\t*\t\t0\r";
}  // namespace

const char* const CBonescopeActor::sHelpStrings[23] = {
    "Renders a simple visualization of a 'skeleton' package provided by actors that perform body tracking.",
    // input 1: skeleton_in
    "A 'skeleton' package sent from the output of an actor that offers a skeleton output.",
    // input 2: obj_type
    "The type of the object drawn at the joints: a polygon or a sphere.",
    // input 3: obj_size
    "Size of the objects drawn at the joints.",
    // input 4: obj_sides
    "Number of sides for objects drawn at the joints. For polygons, this defines the number of sides of the polygon; for spheres, the number of facets that make up the sphere.",
    // input 5: obj_intensity
    "Intensity of the objects drawn at the joints",
    // input 6: obj_rot_x
    "Rotation of the object around its X-Axis in degrees.",
    // input 7: obj_rot_y
    "Rotation of the object around its Y-Axis in degrees.",
    // input 8: obj_rot_z
    "Rotation of the object around its Z-Axis in degrees.",
    // input 9: lighting
    "When turned on, objects in the scene will respond to the lighting in the scene.",
    // input 10: render_back
    "When turned on, both the front and back of the objects will be rendered. Otherwise, only the front of the objects are rendered.",
    // input 11: depth_test
    "Enables or disables depth testing. If the objects will all be drawn at the same z-depth, they may not overlap correctly. In this case, you should turn depth testing off.",
    // input 12: x_rotation
    "Rotation of the camera about the X-Axis in degrees.",
    // input 13: y_rotation
    "Rotation of the camera about the Y-Axis in degrees.",
    // input 14: z_rotation
    "Rotation of the camera about the Z-Axis in degrees.",
    // input 15: x_translate
    "Translation of the camera along the X-Axis.",
    // input 16: y_translate
    "Translation of the camera along the Y-Axis.",
    // input 17: z_translate
    "Translation of the camera along the Z-Axis.",
    // input 18: draw_origin
    "When turned on, draws a crosshair at the origin, with red being the x-axis, green along the y-axis, and blue along the z-axis.",
    // input 19: origin_size
    "The length of the origin crosshair.",
    // input 20: width
    "The width of the output image in pixels.",
    // input 21: height
    "The height of the output image in pixels.",
    // output 1: video_out
    "The skeleton visualization rendered as a video stream.",
};

const char* CBonescopeActor::ParameterString() { return kParameterString; }
