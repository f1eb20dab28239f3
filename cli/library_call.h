// library_call.h - turning the library's result codes into errors, making a
// net, and holding a net slot for as long as the front end uses it.
#ifndef KORU_CLI_LIBRARY_CALL_H
#define KORU_CLI_LIBRARY_CALL_H

#include <cstdint>
#include <string>

namespace koru_cli {

// The library's description of a result code ("net not in use", ...).
const char* ResultText(int16_t code);

// Throws CliError "CALL failed: code N (text)" unless `code` is 0.
void Check(int16_t code, const char* call);

// Makes net `net` of `type` with its numbers in `format` ("fixed": 8.24
// fixed point, otherwise 32-bit floats), after seeding the library's random
// numbers with the low 15 bits of `seed`.
void MakeSeededNet(const int16_t* net, uint16_t type, const std::string& format, uint32_t seed);

// A net slot owned by the front end: the lowest free slot, released with
// KillNet when the holder goes away (whatever the net then holds).
class NetSlot {
public:
    NetSlot();
    ~NetSlot();
    NetSlot(const NetSlot&) = delete;
    NetSlot& operator=(const NetSlot&) = delete;

    // The slot number, by address as every export takes it.
    const int16_t* Net() const { return &net_; }
    // Forgets a net that a failed call never made, so no KillNet is tried.
    void Release();

private:
    int16_t net_ = -1;
};

}  // namespace koru_cli

#endif
