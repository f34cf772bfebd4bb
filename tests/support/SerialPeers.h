#pragma once
// COM ports that tools/pty-ports.sh links into the Wine prefix before the tests run.
// Pair k joins COM(20+2k), the link under test, to COM(21+2k), its peer: what one end
// writes the other reads. CTest runs the test programs in parallel, so each program has
// pairs of its own: conduvex_tests uses pairs 0 and 1, conduvex_host_tests pairs 2 and 3,
// the crash library's road test with Conduvex pair 4.
namespace serial_peers {

inline constexpr int kPairCount = 5;
inline constexpr int kRoadPair = 4;

inline constexpr int LinkPort(int pair)
{
    return 20 + 2 * pair;
}
inline constexpr int PeerPort(int pair)
{
    return 21 + 2 * pair;
}

// A link to a directory: opening fails with "access denied" (error 5).
inline constexpr int kUnopenablePort = 90;
// A dangling link: the port does not exist (error 2).
inline constexpr int kMissingPort = 91;
// A link to /dev/null: it opens, but serial settings such as time-outs fail.
inline constexpr int kNotSerialPort = 92;
// A port number that nothing links.
inline constexpr int kUnlinkedPort = 89;

} // namespace serial_peers
