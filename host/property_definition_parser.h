// The parser of an actor's property definition string.
//
// One declaration per line; every line, the last included, ends with a
// carriage return and there is no line feed. Fields: keyword (INPROP or
// OUTPROP, optionally followed by one space), name, ID, type, display,
// minimum, maximum, default, separated by runs of tabs. The default is empty
// only when the line ends with the tabs after the maximum. Anything else is
// refused with the 1-based line number and what is wrong with it: the host
// must not guess what a broken declaration meant.
//
// Thread-safety: stateless.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/host_error.h"
#include "host/property_descriptor.h"

namespace vhost {

class CPropertyDefinitionError : public CHostError {
 public:
  CPropertyDefinitionError(int line, const std::string& problem);
  int Line() const { return mLine; }
  const std::string& Problem() const { return mProblem; }

 private:
  int mLine;
  std::string mProblem;
};

// All declarations of `text`, in line order, inputs and outputs numbered
// independently from 1. Throws CPropertyDefinitionError.
std::vector<CPropertyDescriptor> ParsePropertyDefinitions(std::string_view text);

}  // namespace vhost
