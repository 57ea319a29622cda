// Any body an encoder (or whatever answers at its address) sends as a reply
// to a request: judged without crashing, hanging or running out of memory.
#include "actiinfo.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ACTIINFO info;
    info.clearSystemInfo();
    info.parseReply(fuzzBytes(data, size));
    return 0;
}
