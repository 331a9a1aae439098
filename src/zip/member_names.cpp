// The forms in which the Info-ZIP programs of the two systems write a
// member name, seen from the name the client gave the file.
//
// The client names files in the Windows (ANSI) code page, 1252 on Western
// systems, and backup.bag keeps those bytes. zip on Linux stores a name as
// the bytes it is; zip.exe on Windows stores it in the OEM code page (850,
// or 437 on an American system) and adds Info-ZIP's extra field with the
// name in UTF-8. unzip on Linux then shows, and matches, the UTF-8 name;
// unzip.exe shows the OEM bytes, which fromConsoleCodePage turns back into
// the client's. An unzip that knows nothing of the extra field shows the
// OEM bytes as they are.
#include "zip.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

// A code page's characters from some byte up, as Unicode; 0 where a byte
// has none.
template <std::size_t N>
using Characters = std::array<std::uint16_t, N>;

// The tables are written as text, which shows what each byte is; the
// compiler reads that UTF-8 text (of characters below U+10000, "\0" for a
// byte without one) into numbers, and counts it.
template <std::size_t L>
constexpr std::size_t characterCount(const char (&text)[L]) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < L; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++n;
    return n;
}

template <std::size_t N, std::size_t L>
constexpr Characters<N> characters(const char (&text)[L]) {
    Characters<N> out{};
    std::size_t i = 0;
    for (std::size_t n = 0; n < N && i + 1 < L; ++n) {
        const unsigned lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : 3;
        unsigned c = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
        for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out[n] = static_cast<std::uint16_t>(c);
        i += length;
    }
    return out;
}

// Code page 1252 from 0x80 to 0x9F; from 0xA0 up it is Latin-1, each byte
// its own character.
constexpr char windows1252Text[] = u8"€\0‚ƒ„…†‡ˆ‰Š‹Œ\0Ž\0\0‘’“”•–—˜™š›œ\0žŸ";
static_assert(characterCount(windows1252Text) == 32, "1252 from 0x80 to 0x9F");
constexpr Characters<32> windows1252 = characters<32>(windows1252Text);

// The OEM code pages from 0x80 to 0xFF (0xF0 of 850 is the soft hyphen,
// 0xFF of both the no-break space).
using OemPage = Characters<128>;
constexpr char oem850Text[] =
    u8"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø£Ø×ƒáíóúñÑªº¿®¬½¼¡«»░▒▓│┤ÁÂÀ©╣║╗╝¢¥┐"
    u8"└┴┬├─┼ãÃ╚╔╩╦╠═╬¤ðÐÊËÈıÍÎÏ┘┌█▄¦Ì▀ÓßÔÒõÕµþÞÚÛÙýÝ¯´\u00AD±‗¾¶§÷¸°¨·¹³²■\u00A0";
static_assert(characterCount(oem850Text) == 128, "850 from 0x80 to 0xFF");
constexpr OemPage oem850 = characters<128>(oem850Text);

constexpr char oem437Text[] =
    u8"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
    u8"└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
static_assert(characterCount(oem437Text) == 128, "437 from 0x80 to 0xFF");
constexpr OemPage oem437 = characters<128>(oem437Text);

// The character of a 1252 byte from 0x80 up; 0 where there is none.
std::uint16_t ansiCharacter(unsigned char b) { return b >= 0xA0 ? b : windows1252[b - 0x80]; }

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// `name`, in code page 1252, with `write` adding the form of each
// character from 0x80 up; false when a byte has no character, or `write`
// no form for it.
template <typename Write>
bool recoded(const std::string& name, std::string& out, Write write) {
    out.clear();
    for (char ch : name) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
            continue;
        }
        const std::uint16_t c = ansiCharacter(b);
        if (c == 0 || !write(c, out)) return false;
    }
    return true;
}

// The 1252 name in UTF-8.
bool utf8Form(const std::string& name, std::string& out) {
    return recoded(name, out, [](std::uint16_t c, std::string& to) {
        appendUtf8(to, c);
        return true;
    });
}

// The 1252 name in an OEM code page.
bool oemForm(const std::string& name, const OemPage& oem, std::string& out) {
    return recoded(name, out, [&oem](std::uint16_t c, std::string& to) {
        for (std::size_t i = 0; i < oem.size(); ++i)
            if (oem[i] == c) {
                to += static_cast<char>(0x80 + i);
                return true;
            }
        return false;
    });
}

}  // namespace

std::vector<std::string> memberNameForms(const std::string& name) {
    std::vector<std::string> forms{name};
    bool plain = true;
    for (char ch : name)
        if (static_cast<unsigned char>(ch) >= 0x80) plain = false;
    if (plain) return forms;
    std::string form;
    if (utf8Form(name, form)) forms.push_back(form);
    if (oemForm(name, oem850, form)) forms.push_back(form);
    if (oemForm(name, oem437, form) && form != forms.back()) forms.push_back(form);
    return forms;
}
