// SHA-256 of a byte range: the hash of the page hashes in a Mach-O code
// signature, so the test checks a signature without Apple's tools.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

std::array<uint8_t, 32> Sha256(const uint8_t* data, size_t size);
