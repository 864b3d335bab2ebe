#include "analyze/page_markup.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace quillmark {

namespace {

// The length of the valid UTF-8 sequence at `text[i]` and its code point in
// `code`; 0 when the byte there begins none.
std::size_t utf8_sequence(std::string_view text, std::size_t i, std::uint32_t& code) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char first = byte(i);
    if (first < 0x80) {
        code = first;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80; // the range of the second byte
    unsigned char high = 0xbf;
    if (first >= 0xc2 && first <= 0xdf) {
        length = 2;
        code = first & 0x1fu;
    } else if (first >= 0xe0 && first <= 0xef) {
        length = 3;
        code = first & 0x0fu;
        if (first == 0xe0) low = 0xa0;  // no overlong forms
        if (first == 0xed) high = 0x9f; // no surrogates
    } else if (first >= 0xf0 && first <= 0xf4) {
        length = 4;
        code = first & 0x07u;
        if (first == 0xf0) low = 0x90;
        if (first == 0xf4) high = 0x8f; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf)) return 0;
        code = code << 6 | (next & 0x3fu);
    }
    return length;
}

// Characters that HTML reads as a parse error and XML not at all: control
// characters but tab, line feed and carriage return, and the noncharacters.
bool unfit_character(std::uint32_t code) {
    if (code < 0x20) return code != '\t' && code != '\n' && code != '\r';
    if (code >= 0x7f && code <= 0x9f) return true;
    if (code >= 0xfdd0 && code <= 0xfdef) return true;
    return (code & 0xfffeu) == 0xfffeu;
}

// The bytes that stand for themselves in text: printable ASCII but the five
// characters that have references.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int byte = 0x20; byte < 0x7f; ++byte)
            plain[byte] = byte != '&' && byte != '<' && byte != '>' && byte != '"' && byte != '\'';
    }
};
constexpr PlainBytes PLAIN_BYTES;

bool plain_byte(char c) { return PLAIN_BYTES.plain[static_cast<unsigned char>(c)]; }

// Appends to a string.
struct StringSink {
    std::string& out;
    void put(const char* text, std::size_t length) { out.append(text, length); }
};

template <class Sink> void append_escaped(Sink& out, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // A run of plain bytes at once, then one character by its code.
        std::size_t end = i;
        while (end < text.size() && plain_byte(text[end])) ++end;
        out.put(text.data() + i, end - i);
        i = end;
        if (i == text.size()) break;
        std::uint32_t code = 0;
        const std::size_t length = utf8_sequence(text, i, code);
        if (length == 0 || unfit_character(code)) {
            out.put("\xef\xbf\xbd", 3); // U+FFFD for the one byte
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (code) {
        case '&': out.put("&amp;", 5); break;
        case '<': out.put("&lt;", 4); break;
        case '>': out.put("&gt;", 4); break;
        case '"': out.put("&quot;", 6); break;
        case '\'': out.put("&#39;", 5); break;
        default: out.put(text.data() + i, length);
        }
        i += length;
    }
}

template <class Sink> void append_number(Sink& out, double value, int decimals) {
    char text[48];
    const int length = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (length > 0)
        out.put(text, static_cast<std::size_t>(length) < sizeof text
                          ? static_cast<std::size_t>(length)
                          : sizeof text - 1);
}

} // namespace

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    StringSink sink{out};
    append_escaped(sink, text);
    return out;
}

std::string formatted(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    char buffer[256];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0 && static_cast<std::size_t>(length) < sizeof buffer) {
        text.assign(buffer, static_cast<std::size_t>(length));
    } else if (length > 0) { // longer than the buffer: formatted again in place
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

void Markup::reserve(std::size_t bytes) {
    if (bytes > out_.size()) out_.resize(bytes);
}

void Markup::grow(std::size_t length) {
    const std::size_t twice = 2 * out_.size();
    out_.resize(twice > size_ + length ? twice : size_ + length + 256);
}

Markup& Markup::text(std::string_view text) {
    Sink sink{*this};
    append_escaped(sink, text);
    return *this;
}

Markup& Markup::raw(std::string_view markup) {
    put(markup);
    return *this;
}

Markup& Markup::append(const Markup& fragment) {
    put(fragment.out_.data(), fragment.size_);
    return *this;
}

void Markup::start_tag(std::string_view name, std::initializer_list<Attribute> attributes) {
    Sink sink{*this};
    put("<", 1);
    put(name);
    for (const Attribute& attribute : attributes) {
        put(" ", 1);
        put(attribute.name_);
        put("=\"", 2);
        if (attribute.decimals_ < 0)
            append_escaped(sink, attribute.text_);
        else
            append_number(sink, attribute.number_, attribute.decimals_);
        put("\"", 1);
    }
}

Markup& Markup::open(std::string_view name, std::initializer_list<Attribute> attributes) {
    start_tag(name, attributes);
    put(">", 1);
    return *this;
}

Markup& Markup::close(std::string_view name) {
    put("</", 2);
    put(name);
    put(">", 1);
    return *this;
}

Markup& Markup::element(std::string_view name, std::initializer_list<Attribute> attributes,
                        std::string_view content) {
    open(name, attributes);
    return text(content).close(name);
}

Markup& Markup::empty_element(std::string_view name, std::initializer_list<Attribute> attributes) {
    open(name, attributes);
    return close(name);
}

Markup& Markup::void_element(std::string_view name, std::initializer_list<Attribute> attributes) {
    start_tag(name, attributes);
    put("/>", 2);
    return *this;
}

std::string Markup::take() {
    out_.resize(size_);
    std::string taken = std::move(out_);
    out_.clear();
    size_ = 0;
    return taken;
}

} // namespace quillmark
