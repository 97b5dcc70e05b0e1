#include "platform/encoding.h"

#include "system/icm_sub.h"

#include <cerrno>
#include <iconv.h>

namespace narvo {

namespace {

// One conversion descriptor per direction and thread, opened on first use: iconv_open
// is far too slow to pay per string.
class TConverter {
public:
    TConverter(const char* To, const char* From) : Handle_(iconv_open(To, From)) {}
    ~TConverter() {
        if (Handle_ != reinterpret_cast<iconv_t>(-1)) iconv_close(Handle_);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    bool Valid() const { return Handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts `In`; at an invalid sequence `OnInvalid` appends a replacement to `Out`
    // and answers how many input bytes it stands for.
    template <typename Fn>
    std::string Convert(std::string_view In, bool* Replaced, Fn OnInvalid) {
        std::string Out;
        Out.reserve(In.size() * 3 / 2 + 8);
        char Buffer[1024];
        char* InPtr = const_cast<char*>(In.data());
        size_t InLeft = In.size();
        iconv(Handle_, nullptr, nullptr, nullptr, nullptr);
        while (InLeft > 0) {
            char* OutPtr = Buffer;
            size_t OutLeft = sizeof Buffer;
            size_t Rc = iconv(Handle_, &InPtr, &InLeft, &OutPtr, &OutLeft);
            Out.append(Buffer, size_t(OutPtr - Buffer));
            if (Rc != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off at the end): replace and go on.
            size_t Skip = OnInvalid(std::string_view(InPtr, InLeft), Out);
            if (Replaced) *Replaced = true;
            InPtr += Skip;
            InLeft -= Skip;
            iconv(Handle_, nullptr, nullptr, nullptr, nullptr);
        }
        return Out;
    }

private:
    iconv_t Handle_;
};

TConverter& SjisDecoder() {
    thread_local TConverter Converter("UTF-8", "CP932");
    return Converter;
}

TConverter& SjisEncoder() {
    thread_local TConverter Converter("CP932", "UTF-8");
    return Converter;
}

// Bytes of the broken UTF-8 sequence at the start of `Rest`: its lead byte and the
// continuation bytes that follow it, so that one broken character gives one "?".
size_t BrokenUtf8Length(std::string_view Rest) {
    unsigned char Lead = static_cast<unsigned char>(Rest[0]);
    size_t Len = Lead < 0xC0 ? 1 : Lead < 0xE0 ? 2 : Lead < 0xF0 ? 3 : 4;
    size_t Used = 1;
    while (Used < Len && Used < Rest.size() && (static_cast<unsigned char>(Rest[Used]) & 0xC0) == 0x80)
        ++Used;
    return Used;
}

} // namespace

std::string SjisToUtf8(std::string_view Sjis, bool* Replaced) {
    if (Replaced) *Replaced = false;
    bool Ascii = true;
    for (char C : Sjis)
        if (static_cast<unsigned char>(C) >= 0x80) {
            Ascii = false;
            break;
        }
    if (Ascii || !SjisDecoder().Valid()) return std::string(Sjis);
    return SjisDecoder().Convert(Sjis, Replaced, [](std::string_view Rest, std::string& Out) {
        Out.append("\xEF\xBF\xBD"); // U+FFFD
        // A bad double-byte pair is one character; a bad single byte is one.
        return SjisCharLength(Rest, 0) == 2 && static_cast<unsigned char>(Rest[1]) >= 0x40 ? size_t(2)
                                                                                           : size_t(1);
    });
}

std::string Utf8ToSjis(std::string_view Utf8, bool* Replaced) {
    if (Replaced) *Replaced = false;
    bool Ascii = true;
    for (char C : Utf8)
        if (static_cast<unsigned char>(C) >= 0x80) {
            Ascii = false;
            break;
        }
    if (Ascii || !SjisEncoder().Valid()) return std::string(Utf8);
    return SjisEncoder().Convert(Utf8, Replaced, [](std::string_view Rest, std::string& Out) {
        Out.push_back('?');
        return BrokenUtf8Length(Rest);
    });
}

} // namespace narvo
