// The .res reader: a whole image, and every resource in it as a dialog template
// and as a menu; the bytes themselves as either. Nothing may read out of bounds,
// and every entry found lies inside the image.
#include "core/resources.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const winshim::ResBytes image(data, size);
    winshim::RES_ParseDialog(image);
    winshim::RES_ParseMenu(image);
    const auto entries = winshim::RES_ParseFile(image);
    if (!entries) return 0;
    for (const winshim::ResEntry& e : *entries) {
        if (e.data.data() < data || e.data.data() + e.data.size() > data + size)
            fuzz::fail("a resource lies outside the image");
        winshim::RES_ParseDialog(e.data);
        winshim::RES_ParseMenu(e.data);
    }
    return 0;
}
