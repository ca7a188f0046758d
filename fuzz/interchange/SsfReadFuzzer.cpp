// Feeds arbitrary bytes to the SSF reader. Whatever it accepts must write back to a file that
// reads to the same style.
#include "core/SbkError.h"
#include "interchange/SsfFile.h"
#include "store/DbKORFStyle.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool same(const DbKORFStyle& a, const DbKORFStyle& b) {
    return a.StyleName1() == b.StyleName1() && a.StyleName2() == b.StyleName2() &&
           a.StyleLength1() == b.StyleLength1() && a.StyleLength2() == b.StyleLength2() &&
           a.StyleContent1() == b.StyleContent1() && a.StyleContent2() == b.StyleContent2() &&
           a.StyleAuthor() == b.StyleAuthor() && a.StyleCat() == b.StyleCat() &&
           a.StyleFamily() == b.StyleFamily() && a.StyleDesc() == b.StyleDesc() &&
           a.StyleFile() == b.StyleFile() && a.StyleDate() == b.StyleDate();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    DbKORFStyle style;
    try {
        if (!SsfFile::read(bytes, QStringLiteral("FUZZ.SSF"), style))
            return 0;
    } catch (const SbkError&) {
        return 0;
    }
    QByteArray written;
    try {
        written = SsfFile::encode(style);
    } catch (const SbkError&) {
        return 0; // a length the layout cannot hold
    }
    DbKORFStyle again;
    if (!SsfFile::read(written, QStringLiteral("AGAIN.SSF"), again) || !same(style, again))
        abort();
    return 0;
}
