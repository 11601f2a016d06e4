// The Bonescope plug-in file as a host sees it: registration, declarations,
// help, the obj_type hooks, the instance life cycle and frame production,
// driven through a host that records its calls (synthetic image buffers).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/four_char_code.h"
#include "skeleton/skeleton_pkg.h"
#include "tests/skeleton_renderer/bonescope_driver.h"

using ::testing::ElementsAre;

namespace {

class BonescopePluginFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(mDriver.Loaded()) << "plugins/bonescope.so did not load"; }

  std::string Help(uint8_t kind, uint16_t index, uint32_t size = 512) {
    std::string buffer(size, '#');
    Info()->mGetHelpString(mHost.Params(), Info(), kind, index, buffer.data(), size);
    return buffer.c_str();
  }
  ActorInfo* Info() { return mDriver.Info(); }

  CFakeVideoHost mHost;
  CBonescopeDriver mDriver{mHost};
};

TEST_F(BonescopePluginFile, RegistersItsCodesNameAndEntryPoints) {
  ActorInfo* info = Info();
  EXPECT_EQ(info->mClassCode, FourCharCode("vide"));
  EXPECT_EQ(info->mSecondCode, FourCharCode("vdpp"));
  EXPECT_EQ(info->mActorID, FourCharCode("_skv"));
  EXPECT_EQ(info->mConstant256, 256u);
  EXPECT_EQ(info->mConstant128, 128u);
  EXPECT_STREQ(info->mDisplayName, "Bonescope");
  EXPECT_NE(info->mPropertyStringToValue, nullptr);
  EXPECT_NE(info->mGetActorDefinedArea, nullptr);
  EXPECT_NE(info->mDrawActorDefinedArea, nullptr);
  EXPECT_EQ(info->mNull680, nullptr);
  EXPECT_EQ(info->mNull688, nullptr);
  EXPECT_EQ(info->mNull736, nullptr);
}

TEST_F(BonescopePluginFile, DeclaresItsPropertiesByteForByte) {
  const std::string expected =
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
  EXPECT_EQ(std::string(Info()->mGetParameterString(mHost.Params(), Info())), expected);
}

TEST_F(BonescopePluginFile, HelpTextsFollowTheHostsIndex) {
  EXPECT_EQ(Help(0, 0),
            "Renders a simple visualization of a 'skeleton' package provided by actors that "
            "perform body tracking.");
  EXPECT_EQ(Help(kKindInput, 10),
            "When turned on, both the front and back of the objects will be rendered. Otherwise, "
            "only the front of the objects are rendered.");
  EXPECT_EQ(Help(kKindInput, 11),
            "Enables or disables depth testing. If the objects will all be drawn at the same "
            "z-depth, they may not overlap correctly. In this case, you should turn depth testing "
            "off.");
  EXPECT_EQ(Help(kKindInput, 5), "Intensity of the objects drawn at the joints");
  EXPECT_EQ(Help(kKindOutput, 1), "The skeleton visualization rendered as a video stream.");
  EXPECT_EQ(Help(kKindInput, 21, 9), "The heig") << "cut to size - 1, terminated";
}

class BonescopeInstance : public BonescopePluginFile {
 protected:
  char mText[32] = "untouched";
  uint8_t ValueToString(uint8_t kind, uint16_t index, Value* value) {
    return Info()->mPropertyValueToString(mHost.Params(), Info(), kind, index, value, mText);
  }
  uint8_t StringToValue(uint16_t index, const char* text, Value* out) {
    return Info()->mPropertyStringToValue(mHost.Params(), Info(), kKindInput, index, text, out);
  }
};

TEST_F(BonescopeInstance, CreateTakesOneZeroFilledBlockAndDisposeReturnsIt) {
  mDriver.Create();
  const auto allocations = mHost.CallsOf("AllocateMemory");
  ASSERT_EQ(allocations.size(), 1u);
  EXPECT_EQ(allocations[0].mArgs[1], 1);
  EXPECT_GE(allocations[0].mArgs[0], 150);
  void* block = Info()->mActorDataPtr;
  ASSERT_NE(block, nullptr);
  ActorInfo* backPointer = nullptr;
  std::memcpy(&backPointer, block, sizeof(backPointer));  // NOLINT(bugprone-sizeof-expression): the pointer itself
  EXPECT_EQ(backPointer, Info()) << "mActorInfo comes first";
  mDriver.Dispose();
  EXPECT_EQ(mHost.CallsOf("FreeMemory").at(0).mPointer, block);
  EXPECT_EQ(mHost.mLiveBlocks, 0);
  EXPECT_TRUE(mHost.mAssertions.empty());
}

TEST_F(BonescopeInstance, WithoutItsBlockItReportsAndIgnoresEveryCallback) {
  mHost.mFailAllocate = true;
  mDriver.Create();
  ASSERT_EQ(mHost.mAssertions.size(), 1u);
  EXPECT_EQ(mHost.mAssertions[0].mCondition, "info != nil");
  EXPECT_EQ(mHost.mAssertions[0].mActor, "Bonescope");
  EXPECT_GT(mHost.mAssertions[0].mLine, 0);
  mHost.ClearCalls();

  mDriver.Activate(1);
  mDriver.SetDefaults();
  Value value = MakeIntegerValue(0);
  EXPECT_EQ(ValueToString(kKindInput, 2, &value), 0);
  EXPECT_EQ(StringToValue(2, "sphere", &value), 0);
  mDriver.Activate(0);
  EXPECT_TRUE(mHost.mCalls.empty());

  EXPECT_EQ(mDriver.Dispose(), 0);
  ASSERT_EQ(mHost.mAssertions.size(), 2u);
  EXPECT_EQ(mHost.mAssertions[1].mCondition, "ioActorInfo->mActorDataPtr != nil");
  const auto frees = mHost.CallsOf("FreeMemory");
  ASSERT_EQ(frees.size(), 1u);
  EXPECT_EQ(frees[0].mPointer, nullptr);
}

TEST_F(BonescopeInstance, AnUndeclaredInputIsReportedAndStoresNothing) {
  mDriver.Start();
  mDriver.SetInteger(22, 5);
  mDriver.SetInteger(0, 5);
  ASSERT_EQ(mHost.mAssertions.size(), 2u);
  EXPECT_EQ(mHost.mAssertions[0].mCondition, "false");
  EXPECT_EQ(mHost.mAssertions[0].mActor, "Bonescope");
  mDriver.Stop();
}

TEST_F(BonescopeInstance, ObjectTypeIsShownAsPolygonOrSphere) {
  mDriver.Create();
  Value polygon = MakeIntegerValue(0);
  Value sphere = MakeIntegerValue(1);
  EXPECT_EQ(ValueToString(kKindInput, 2, &polygon), 1);
  EXPECT_STREQ(mText, "polygon");
  EXPECT_EQ(ValueToString(kKindInput, 2, &sphere), 1);
  EXPECT_STREQ(mText, "sphere");

  std::strcpy(mText, "untouched");
  Value two = MakeIntegerValue(2);
  EXPECT_EQ(ValueToString(kKindInput, 2, &two), 1) << "an unknown type is reported, not refused";
  EXPECT_STREQ(mText, "untouched");
  ASSERT_EQ(mHost.mAssertions.size(), 1u);
  EXPECT_EQ(mHost.mAssertions[0].mCondition, "false");

  EXPECT_EQ(ValueToString(kKindInput, 1, nullptr), 1);
  EXPECT_STREQ(mText, "skeleton") << "even without a package on the input";
  std::strcpy(mText, "untouched");
  EXPECT_EQ(ValueToString(kKindInput, 3, &polygon), 0);
  EXPECT_EQ(ValueToString(kKindOutput, 2, &polygon), 0);
  EXPECT_STREQ(mText, "untouched");
  mDriver.Dispose();
}

TEST_F(BonescopeInstance, ObjectTypeIsReadFromDigitsOrFromTheHostsList) {
  mDriver.Create();
  Value out = MakeIntegerValue(99);
  EXPECT_EQ(StringToValue(2, "1", &out), 1);
  EXPECT_EQ(out.mType, kValueTypeInteger);
  EXPECT_EQ(out.mInteger, 1);
  EXPECT_EQ(StringToValue(2, "0", &out), 1);
  EXPECT_EQ(out.mInteger, 0);
  EXPECT_EQ(mHost.Count("FindStringInList"), 0u) << "single digits need no host";

  EXPECT_EQ(StringToValue(2, "sphere", &out), 1);
  EXPECT_EQ(out.mInteger, 1);
  EXPECT_EQ(mHost.CallsOf("FindStringInList").at(0).mArgs[0], 2);

  out = MakeIntegerValue(99);
  EXPECT_EQ(StringToValue(2, "2", &out), 0);
  EXPECT_EQ(StringToValue(2, "10", &out), 0);
  EXPECT_EQ(StringToValue(2, "", &out), 0);
  EXPECT_EQ(mHost.Count("FindStringInList"), 4u);
  EXPECT_EQ(out.mInteger, 99) << "refused texts leave the value alone";

  EXPECT_EQ(StringToValue(3, "1", &out), 0);
  mDriver.Dispose();
}

TEST_F(BonescopeInstance, ActivationRegistersForRenderAndContextLossWithItsInfo) {
  mDriver.Create();
  mDriver.Activate(1);
  EXPECT_TRUE(mHost.mReceiverRegistered);
  EXPECT_EQ(mHost.mReceiverMask, 0x20001000u);
  EXPECT_EQ(mHost.mReceiverRefcon, Info());
  EXPECT_EQ(mHost.Count("SetOutputPropertyValue"), 0u);
  mDriver.Activate(0);
  EXPECT_FALSE(mHost.mReceiverRegistered);
  mDriver.Dispose();
}

TEST_F(BonescopeInstance, ActivatingTwiceKeepsOneReceiver) {
  mDriver.Create();
  mDriver.Activate(1);
  mDriver.Activate(1);
  EXPECT_EQ(mHost.Count("RegisterMessageReceiver"), 2u);
  EXPECT_EQ(mHost.Count("UnregisterMessageReceiver"), 1u);
  mDriver.Stop();
}

TEST_F(BonescopeInstance, DisposingAnActiveInstanceReleasesWhatActivationMade) {
  mDriver.Start();
  mDriver.Render();
  mHost.ClearCalls();
  mDriver.Dispose();
  EXPECT_THAT(mHost.CallNames(), ElementsAre("UnregisterMessageReceiver", "SetOutputPropertyValue",
                                             "DisposeImageBuffer", "FreeMemory"));
  EXPECT_EQ(mHost.mLiveBlocks, 0);
}

class BonescopeFrameProduction : public BonescopeInstance {
 protected:
  void SetUp() override {
    BonescopeInstance::SetUp();
    mDriver.Start();
    mHost.ClearCalls();
  }
  void TearDown() override {
    if (mHost.mReceiverRegistered) mDriver.Stop();
  }
  std::vector<FakeHostCall> Sent() const { return mHost.CallsOf("SetOutputPropertyValue"); }
};

TEST_F(BonescopeFrameProduction, ARequestWithoutSkeletonStillSendsAMarkedFrame) {
  EXPECT_EQ(mDriver.Render(), mHost.mEndVideoRenderResult);
  EXPECT_THAT(mHost.CallNames(),
              ElementsAre("BeginVideoRender", "CreateImageBuffer", "BeginImageBufferDraw",
                          "EndImageBufferDraw", "SetOutputPropertyValue", "EndVideoRender"));
  const auto& create = mHost.mCalls[1];
  EXPECT_EQ(create.mArgs[0], 0);
  EXPECT_EQ(create.mArgs[1], 1280);
  EXPECT_EQ(create.mArgs[2], 720);
  EXPECT_EQ(create.mArgs[3], 1);
  EXPECT_EQ(mHost.mCalls[2].mArgs[0], 1);
  EXPECT_EQ(mHost.mCalls[0].mPointer, Info()->mActorDataPtr) << "the bracket gets the data block";

  const SyntheticBuffer& buffer = mHost.mSynthetic.back();
  const Value& sent = mHost.mCalls[4].mValue;
  EXPECT_EQ(mHost.mCalls[4].mArgs[0], 1);
  EXPECT_EQ(sent.mType, kValueTypeData);
  EXPECT_EQ(sent.mData, buffer.mFrame);
  int32_t mark = 0;
  std::memcpy(&mark, buffer.mTexture + 56, sizeof(mark));
  EXPECT_EQ(mark, 1);
}

TEST_F(BonescopeFrameProduction, BeginDrawFailureSendsNothing) {
  mHost.mFailBegin = true;
  mDriver.Render();
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(mHost.Count("EndImageBufferDraw"), 0u);
}

TEST_F(BonescopeFrameProduction, MissingFrameOrTextureRecordSendsNothing) {
  mHost.mEndReturnsNull = true;
  mDriver.Render();
  mHost.mEndReturnsNull = false;
  mHost.mFrameWithoutTexture = true;
  mDriver.Render();
  EXPECT_TRUE(Sent().empty());
}

TEST_F(BonescopeFrameProduction, AWidthChangeReplacesTheBufferBeforeDrawing) {
  mDriver.Render();
  void* first = mHost.mSynthetic.front().mRecord;
  mDriver.SetInteger(20, 640);
  mHost.ClearCalls();
  mDriver.Render();
  EXPECT_THAT(mHost.CallNames(),
              ElementsAre("BeginVideoRender", "DisposeImageBuffer", "CreateImageBuffer",
                          "BeginImageBufferDraw", "EndImageBufferDraw", "SetOutputPropertyValue",
                          "EndVideoRender"));
  EXPECT_EQ(mHost.mCalls[1].mPointer, first);
  EXPECT_EQ(mHost.mCalls[2].mArgs[1], 640);
  EXPECT_EQ(mHost.mCalls[2].mArgs[2], 720);
}

TEST_F(BonescopeFrameProduction, WithoutABufferTheNullFrameGoesOutOnce) {
  mDriver.Render();
  mDriver.SetInteger(21, 0);
  mHost.ClearCalls();
  mDriver.Render();
  mDriver.Render();
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].mValue.mType, kValueTypeData);
  EXPECT_EQ(sent[0].mValue.mData, nullptr);
  EXPECT_EQ(mHost.Count("CreateImageBuffer"), 0u);
  EXPECT_EQ(mHost.Count("DisposeImageBuffer"), 1u);
}

TEST_F(BonescopeFrameProduction, AFailedCreationIsRetriedAtTheNextRequest) {
  mHost.mFailCreate = true;
  mDriver.Render();
  mDriver.Render();
  EXPECT_EQ(mHost.Count("CreateImageBuffer"), 2u);
  EXPECT_TRUE(Sent().empty()) << "nothing was ever sent, so no null frame either";
  mHost.mFailCreate = false;
  mDriver.Render();
  EXPECT_EQ(mHost.Count("CreateImageBuffer"), 3u);
  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_NE(Sent()[0].mValue.mData, nullptr);
}

TEST_F(BonescopeFrameProduction, ContextLossCarryingOneDropsTheBufferOnly) {
  mDriver.Render();
  mHost.ClearCalls();
  EXPECT_EQ(mDriver.LoseContext(0), 0);
  EXPECT_EQ(mDriver.LoseContext(2), 0);
  EXPECT_TRUE(mHost.mCalls.empty());
  EXPECT_EQ(mDriver.LoseContext(1), 1);
  EXPECT_THAT(mHost.CallNames(), ElementsAre("DisposeImageBuffer", "SetOutputPropertyValue"));
  EXPECT_EQ(mHost.mCalls[1].mValue.mData, nullptr);
  mHost.ClearCalls();
  mDriver.Render();
  EXPECT_EQ(mHost.Count("CreateImageBuffer"), 1u) << "the next request makes it again";
}

TEST_F(BonescopeFrameProduction, ContextLossWithoutNumberIsRefused) {
  mDriver.Render();
  EXPECT_EQ(mHost.Send(0x20000000, 0, nullptr, 0), 0);
}

TEST_F(BonescopeFrameProduction, DeactivationAfterAFrameLeavesANullOnTheOutput) {
  mDriver.Render();
  mHost.ClearCalls();
  mDriver.Activate(0);
  EXPECT_THAT(mHost.CallNames(), ElementsAre("UnregisterMessageReceiver", "SetOutputPropertyValue",
                                             "DisposeImageBuffer"));
  EXPECT_EQ(mHost.mCalls[1].mValue.mData, nullptr);
  mDriver.Dispose();
}

}  // namespace
