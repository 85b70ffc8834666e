// The client's entry points over responses taken from the fuzz input (see fuzz_ipc.h): the first
// byte picks the call (a row of the client call table), the rest are the frames it receives.
// Whatever arrives, a call must return without reading past a frame or crashing.
#include "fuzz/fuzz_ipc.h"
#include "tests/support/client_calls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    fuzzipc::feed(data + 1, size - 1);
    clientcalls::kCalls[data[0] % clientcalls::kCallCount].call();
    return 0;
}
