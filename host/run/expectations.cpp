#include "host/run/expectations.h"

#include <fmt/format.h>

#include "host/host.h"
#include "host/run/patch_instances.h"
#include "host/run/run_loop.h"
#include "host/text_excerpt.h"
#include "host/value_text.h"

namespace vhost {

CExpectations::CExpectations(const CPatch& patch, CPatchInstances& instances)
    : mPatch(patch), mInstances(instances) {}

void CExpectations::Count(CRunLoop& loop) {
  CHost& host = loop.Host();
  for (const COutputRecord* r : host.OutputsSince(mMark)) ++mTotals[{r->mInstanceSerial, r->mOutputID}];
  mMark = host.Mark();
}

void CExpectations::OnStep(CRunLoop& loop) { Count(loop); }

void CExpectations::OnFinish(CRunLoop& loop) {
  if (loop.Started()) Count(loop);
}

std::vector<CExpectResult> CExpectations::Check() {
  std::vector<CExpectResult> results;
  for (const CPatchExpect& expect : mPatch.mExpects) {
    CExpectResult result;
    result.mFile = mPatch.mFile;
    result.mLine = expect.mLine;
    result.mExpect = expect.Text();
    auto done = [&](bool held, std::string detail) {
      result.mHeld = held;
      result.mDetail = held ? std::string() : std::move(detail);
      results.push_back(result);
    };
    CActorInstance& instance = mInstances.Instance(expect.mTarget.mInstance);
    const uint16_t index = instance.FindOutput(expect.mTarget.mProperty);
    if (index == 0) {
      done(false, fmt::format("{} has no output {}", instance.Name(), QuoteExcerpt(expect.mTarget.mProperty)));
      continue;
    }
    const COutputSlot& slot = instance.Output(index);
    const std::string& op = expect.mOperator;
    if (expect.mQuoted) {
      const std::string actual = slot.mValue.Text().value_or(FormatValue(slot.mValue));
      done((actual == expect.mValue) == (op == "=="), fmt::format("got '{}'", actual));
      continue;
    }
    double value = 0;
    std::string actual;
    if (slot.mDescriptor.mDisplay == "trig") {
      const auto it = mTotals.find({instance.Serial(), slot.mDescriptor.mID});
      value = static_cast<double>(it == mTotals.end() ? 0 : it->second);
      actual = fmt::format("{} value(s)", static_cast<uint64_t>(value));
    } else if (slot.mDescriptor.IsNumeric()) {
      value = slot.mDescriptor.mType == EPropertyType::kFloat ? slot.mValue.AsFloat()
                                                               : static_cast<double>(slot.mValue.AsInteger());
      actual = FormatValue(slot.mValue);
    } else {
      done(false, fmt::format("{} is not a number ({})", expect.mTarget.Text(), FormatValue(slot.mValue)));
      continue;
    }
    const double want = std::stod(expect.mValue);
    const bool held = op == "==" ? value == want : op == "!=" ? value != want : op == "<" ? value < want
                    : op == "<=" ? value <= want : op == ">" ? value > want : value >= want;
    done(held, "got " + actual);
  }
  return results;
}

}  // namespace vhost
