// The definition parser's verdict on a text, for tests that look at its
// messages.
#pragma once

#include <string>

#include "host/property_definition_parser.h"

// The problem reported for a definition text, or "" when it parses.
inline std::string ProblemOf(const std::string& text) {
  try {
    vhost::ParsePropertyDefinitions(text);
    return "";
  } catch (const vhost::CPropertyDefinitionError& e) {
    return e.what();
  }
}
