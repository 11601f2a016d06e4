// Loopback UDP helpers for the suit receiver tests: free ports, sending,
// taking a port away from a receiver, and waiting without timing assertions.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

// A UDP port that was free a moment ago (bound to 0 and released).
uint16_t FindFreeUdpPort();

// Sends one datagram to 127.0.0.1:port; true when sendto accepted it.
bool SendUdp(uint16_t port, const std::vector<uint8_t>& bytes);
// Sends one datagram to address:port (a multicast group goes out with
// loopback on, so this host's members get it).
bool SendUdpTo(const char* address, uint16_t port, const std::vector<uint8_t>& bytes);

// The error number a bind of a taken port gives: EADDRINUSE, or
// WSAEADDRINUSE (10048) on Windows.
int AddressInUseError();

// A socket bound to the port on every address, or -1; close it with
// CloseSocket. Used to make a port unavailable to a receiver.
int OccupyUdpPort(uint16_t port);
void CloseSocket(int socket);

// Calls `condition` until it holds or `timeout` passes; returns its last result.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));
