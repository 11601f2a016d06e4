#include "joint_decoder/bonesplit_properties.h"

// The host parses these texts and shows them to users as they stand, so each
// one is kept byte for byte, spelling included. Every declaration line ends
// with a carriage return and there is no line feed.
namespace {
constexpr char kParameterString[] =
    "INPROP\t\tskeleton_in\t\tskli\tdata=skel\t\tpropdef,custom\t\t*\t\t*\t\t0\r"
    "INPROP \tchannels\t\tchan\tint\t\t\t\tnumber,dontconnect\t1\t\t64\t\t1\r"
    "INPROP \tpoint_sel\t\tptsl\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
    "INPROP \toffset_x\t\tofsx\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0.0\r"
    "INPROP \toffset_y\t\tofsy\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0.0\r"
    "INPROP \toffset_z\t\tofsz\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0.0\r"
    "INPROP \trelative_to\t\trelt\tstring\t\t\ttext\t\t\t\t*\t\t*\t\t\r"
    "OUTPROP\ttracking\t\ttrak\tint\t\t\t\tnumber\t\t\t\t0\t\t1\t\t0\r"
    "OUTPROP\tskeleton_id\t\tskid\tint\t\t\t\tnumber\t\t\t\t0\t\t*\t\t0\r"
    "OUTPROP\tenter\t\t\tentr\tbool\t\t\ttrig\t\t\t\t0\t\t1\t\t0\r"
    "OUTPROP\texit\t\t\texit\tbool\t\t\ttrig\t\t\t\t0\t\t1\t\t0\r"
    "OUTPROP\tjoint-a_x\t\tot01\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "OUTPROP\tjoint-a_y\t\tot02\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r"
    "OUTPROP\tjoint-a_z\t\tot03\tfloat\t\t\tnumber\t\t\t\t*\t\t*\t\t0\r";
}  // namespace

const char* GetBonesplitParameterString() { return kParameterString; }

const char* const sHelpStrings[kBonesplitHelpCount] = {
    // the actor
    "Decodes a 'skeleton' package, reporting the 3D position of the individual skeleton "
    "points.",
    // input 1, skeleton_in
    "A 'skeleton' package sent from the output of an Ulvaren actor or other actor that "
    "offers skeleton outputs.",
    // input 2, channels
    "The number of skeleton joints to be sent to the output.",
    // input 3, point_sel
    "Allows you to change the order of the joints sent to the output by entering a list of "
    "joint names separated by commas. For example, you could set the 'channels' input to 3, "
    "and then enter 'left hand, neck, left elbow' in this input to have those three joints "
    "appear at the output. For skeletons output by the Ulvaren actor, the joint names "
    "are:\rhead\rneck\rtorso\rleft shoulder\rright shoulder\rleft elbow\rright elbow\rleft "
    "hand\rright hand\rleft hip\rright hip\rleft knee\rright knee\rleft foot\rright "
    "foot\rOther actors that output a skeleton may have different joint names; they will "
    "appear in the names of the point outputs once a valid skeleton has been received.",
    // input 4, offset_x
    "Adds the specified value to the x-coordiniate of every joint.",
    // input 5, offset_y
    "Adds the specified value to the y-coordiniate of every joint.",
    // input 6, offset_z
    "Adds the specified value to the z-coordiniate of every joint.",
    // input 7, relative_to
    "Upon entering a valid joint name here, all joint coordinates will all be made relative "
    "to the specified joint. For example, if you enter 'head', the head joint would always "
    "be at the origin of the 3D space (i.e., 0,0,0) and the other joints would move relative "
    "to that joint. This may be useful if you want to move the skeleton in 3D space using "
    "the 'offset x/y/z' inputs.",
    // output 1, tracking
    "Reports whether or not this skeleton data is valid. If this output is 1, the body is "
    "being tracked and the data is valid. If it is a 0, then the data is not valid.",
    // output 2, skeleton_id
    "The numeric identifier for this skeleton.",
    // output 3, enter
    "Sends a trigger whenever the tracker senses the presence of this body.",
    // output 4, exit
    "Sends a trigger whenever the tracker loses track of this body.",
    // outputs 5 to 7; never shown, the coordinate help is composed from the current names
    "Reports the x-coordinate of a joint. Once a valid skeleton has been received, the joint "
    "name will automatically update to reflect the joints available for the incoming "
    "skeleton.",
    "Reports the y-coordinate of a joint. Once a valid skeleton has been received, the joint "
    "name will automatically update to reflect the joints available for the incoming "
    "skeleton.",
    "Reports the z-coordinate of a joint. Once a valid skeleton has been received, the joint "
    "name will automatically update to reflect the joints available for the incoming "
    "skeleton.",
};
