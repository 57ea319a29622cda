// Any answer data a camera may send to the zoom, focus and power inquiries:
// read without harm, positions 0 … FFFFh or unknown, percentages 0 … 100,
// and the readouts a few characters long.
#include "fuzzsupport.h"
#include "viscainquiry.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer = fuzzBytes(data, size);
    const int position = ViscaInquiry::positionOf(answer);
    fuzzCheck(position >= -1 && position <= 0xFFFF, "a position is 0 to FFFFh or unknown");
    fuzzCheck(position < 0 || answer.size() == 4, "a position is four nibbles");
    for (const int percent : {ViscaInquiry::zoomPercent(position), ViscaInquiry::focusPercent(position)})
        fuzzCheck(position < 0 ? percent == -1 : percent >= 0 && percent <= 100,
                  "a percentage is 0 to 100, or none for an unknown position");
    fuzzCheck(ViscaInquiry::zoomReadout(position).size() <= 7
                  && ViscaInquiry::focusReadout(position).size() <= 5,
              "a readout is a few characters");
    const ViscaInquiry::Power power = ViscaInquiry::powerOf(answer);
    fuzzCheck(power == ViscaInquiry::Power::Unknown || answer.size() == 1,
              "a power answer is one byte");
    return 0;
}
