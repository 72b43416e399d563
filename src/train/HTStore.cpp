// SPDX-License-Identifier: MIT
// Export of a binary data image as C source text.
#include "train/HTStore.h"

#include <cstdint>
#include <cstdio>

namespace {

// Entries per line of the byte array.
constexpr int kBytesPerLine = 8;

const _HT_SOURCE_FORM kModelForm = {
    "#include \"HRData.h\"\n", "const HR_UINT8 g_hr_data[] = {\n",       "const HR_UINT8 * HRData_GetDataPtr()\n",
    "    return g_hr_data;\n", "const HR_UINT32 HRData_GetDataSize()\n",
};

// Writes the array entries, eight a line, and returns the byte count, or -1
// when the image cannot be read or does not fit the int32 size accessor.
std::int64_t WriteArrayBody(std::FILE *image, std::FILE *out) {
    std::int64_t count = 0;
    int byte;
    while ((byte = std::fgetc(image)) != EOF) {
        if (count == INT32_MAX) return -1;
        int column = static_cast<int>(count % kBytesPerLine);
        if (column == 0) std::fputs("    ", out);
        std::fprintf(out, "0x%02x,", byte);
        std::fputc(column == kBytesPerLine - 1 ? '\n' : ' ', out);
        ++count;
    }
    return std::ferror(image) ? -1 : count;
}

bool WriteSource(std::FILE *image, std::FILE *out, const _HT_SOURCE_FORM &form) {
    std::fprintf(out, "%s\n", form.header);
    std::fputs(form.array, out);
    std::int64_t count = WriteArrayBody(image, out);
    if (count < 0) return false;
    std::fputs("};\n\n", out);
    std::fprintf(out, "%s{\n%s}\n\n", form.ptrHead, form.ret);
    std::fprintf(out, "%s{\n    return %d;\n}\n\n", form.sizeHead, static_cast<int>(count));
    return !std::ferror(out);
}

}  // namespace

extern "C" int HTStore_SaveImageSource(const char *imagePath, const char *cPath, const _HT_SOURCE_FORM *form) {
    if (imagePath == nullptr || cPath == nullptr || form == nullptr) return 0;
    // Both files are opened before either is checked: the source file exists
    // (empty) even when the image is missing.
    std::FILE *image = std::fopen(imagePath, "rb");
    std::FILE *out = std::fopen(cPath, "w");
    bool ok = image != nullptr && out != nullptr && WriteSource(image, out, *form);
    if (image != nullptr) std::fclose(image);
    if (out != nullptr && std::fclose(out) != 0) ok = false;
    return ok ? 1 : 0;
}

extern "C" int HTStore_SaveToCpp(const char *imagePath, const char *cPath) {
    return HTStore_SaveImageSource(imagePath, cPath, &kModelForm);
}
