// Damaged datagrams a tester needs: what a broken or hostile sender could put
// on the suit's port. Each fault turns one good frame into something the
// receiver must survive.
//
// Thread-safety: pure functions; the random generator is the caller's.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "tools/suitsim/suit_frame.h"

enum class SuitFault {
  kWrongLength,      // cut short or padded: 1..4096 bytes but never 1144
  kUnknownAddress,   // one record's address becomes one no sensor has
  kRepeatedAddress,  // one record repeats the address of another
  kEmpty,            // a zero-length datagram
  kBurst,            // many frames back to back, no pacing (handled by the sender)
};

// "wrong-length", "unknown-address", "repeated-address", "empty", "burst".
std::string_view SuitFaultName(SuitFault fault);
std::optional<SuitFault> ParseSuitFault(std::string_view name);

// Damages the encoded frame `datagram` in place as `fault` says. kBurst
// leaves it alone.
void ApplySuitFault(SuitFault fault, SuitDatagram& datagram, std::mt19937& rng);
