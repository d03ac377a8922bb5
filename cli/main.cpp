// kova: reads a vObject file and prints what was read.
#include <cstdio>
#include <string>

#include "base/utf16.h"
#include "kova/kova.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kova FILE\n");
        return 2;
    }
    std::u16string path = kova::base::utf8_to_utf16(argv[1]);
    uint32_t rc = KOVA_ReadObjects(path.c_str(), nullptr, nullptr);
    std::printf("%s\n", kova::base::utf16_to_utf8(KOVA_CodeToString(rc)).c_str());
    return rc == 0 ? 0 : 1;
}
