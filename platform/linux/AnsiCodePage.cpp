// Conversions between UTF-16 and the character set of the current locale,
// the counterpart of the thread's ANSI code page. Like the platform's
// converters without flags, they never fail on content: a character the
// target set lacks becomes its default character ("?" for a narrow set,
// U+FFFD for UTF-16).
#include "platform/AnsiCodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <system_error>

namespace nerolin {

namespace {

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr const char* kUtf16 = "UTF-16LE";
#else
constexpr const char* kUtf16 = "UTF-16BE";
#endif

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from))
    {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw std::system_error(errno, std::generic_category(), "iconv_open");
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of input. On a character that cannot be converted,
    // writes replacement (already in the target encoding) and skips
    // skipLength(position) bytes of input.
    template <typename SkipLength>
    std::string Convert(std::string_view input, std::string_view replacement, SkipLength skipLength)
    {
        std::string output;
        char buffer[4096];
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            if (errno != EILSEQ && errno != EINVAL) throw std::system_error(errno, std::generic_category(), "iconv");
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
            output.append(replacement);
            const std::size_t skip = std::min(inLeft, skipLength(std::string_view(in, inLeft)));
            in += skip;
            inLeft -= skip;
        }
        // Flush a stateful encoding's closing shift sequence.
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(handle_, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1)) {
            output.append(buffer, static_cast<std::size_t>(out - buffer));
        }
        return output;
    }

private:
    iconv_t handle_;
};

const char* LocaleCharset() { return nl_langinfo(CODESET); }

// The UTF-16 character at the start of input: a surrogate pair is one.
std::size_t Utf16CharacterLength(std::string_view input)
{
    if (input.size() >= 4) {
        char16_t first;
        std::memcpy(&first, input.data(), 2);
        if (first >= 0xD800 && first <= 0xDBFF) {
            char16_t second;
            std::memcpy(&second, input.data() + 2, 2);
            if (second >= 0xDC00 && second <= 0xDFFF) return 4;
        }
    }
    return 2;
}

}  // namespace

bool WideToAnsi(const char16_t* wide, std::string& ansi)
{
    if (wide == nullptr) return false;
    const std::u16string_view text(wide);
    const std::string_view input(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    const char* charset = LocaleCharset();
    std::string defaultCharacter =
        Converter(charset, "ASCII").Convert("?", "", [](std::string_view) -> std::size_t { return 1; });
    ansi = Converter(charset, kUtf16).Convert(input, defaultCharacter, Utf16CharacterLength);
    return true;
}

bool AnsiToWide(const char* ansi, std::u16string& wide)
{
    if (ansi == nullptr) return false;
    static constexpr char16_t kReplacement = 0xFFFD;
    const std::string_view replacement(reinterpret_cast<const char*>(&kReplacement), sizeof kReplacement);
    const std::string bytes =
        Converter(kUtf16, LocaleCharset()).Convert(ansi, replacement, [](std::string_view) -> std::size_t {
            return 1;
        });
    wide.resize(bytes.size() / sizeof(char16_t));
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(char16_t));
    return true;
}

}  // namespace nerolin
