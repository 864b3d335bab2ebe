// A small writer of HTML and inline SVG markup. Text goes in escaped by
// default (as character data and as attribute values alike); markup that is
// written as it stands goes in only through raw(), or as a fragment that
// another Markup wrote. Elements are written with their attributes in the
// order given.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillmark {

// `text` as HTML character data or attribute value: & < > " ' as references,
// each byte that does not begin a valid UTF-8 sequence, and every control
// character but tab, line feed and carriage return (and the noncharacters),
// as U+FFFD. The result is also well-formed XML text.
std::string html_escape(std::string_view text);

// printf-style formatting into a string, for texts with figures in them.
std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One attribute of an element: its name (a literal of the program) and its
// value, a text that is escaped when written, or a number written with the
// given decimals ("%.*f"). An attribute refers to its text without a copy:
// it is made in the call that writes it, e.g. out.open("a", {{"href", link}}).
class Attribute {
public:
    Attribute(const char* name, std::string_view text) : name_(name), text_(text) {}
    Attribute(const char* name, const char* text) : name_(name), text_(text) {}
    Attribute(const char* name, double number, int decimals)
        : name_(name), number_(number), decimals_(decimals) {}

private:
    friend class Markup;
    const char* name_;
    std::string_view text_;
    double number_ = 0;
    int decimals_ = -1; // below 0 for a text
};

class Markup {
public:
    // Text, escaped with html_escape.
    Markup& text(std::string_view text);
    // Markup written as it stands: tags, references and the program's own
    // words where they must stay as they are. Never a text from the report.
    Markup& raw(std::string_view markup);
    // A fragment that another writer built.
    Markup& append(const Markup& fragment);

    // "<name a="v" ...>".
    Markup& open(std::string_view name, std::initializer_list<Attribute> attributes = {});
    // "</name>".
    Markup& close(std::string_view name);
    // "<name ...>content</name>", the content a text, escaped.
    Markup& element(std::string_view name, std::initializer_list<Attribute> attributes,
                    std::string_view content);
    // "<name ...></name>": an element without content, such as an SVG shape.
    Markup& empty_element(std::string_view name, std::initializer_list<Attribute> attributes);
    // "<name .../>": an HTML void element such as meta.
    Markup& void_element(std::string_view name, std::initializer_list<Attribute> attributes);

    // Room for `bytes` bytes of markup in all.
    void reserve(std::size_t bytes);
    // The markup written so far.
    std::string str() const { return out_.substr(0, size_); }
    // The markup written, leaving the writer empty.
    std::string take();

private:
    // What the escaping writes into: the writer's put().
    struct Sink {
        Markup& markup;
        void put(const char* bytes, std::size_t length) { markup.put(bytes, length); }
    };

    // The bytes as they stand. Inline and without a call into the string: a
    // page is a great many short appends.
    void put(const char* bytes, std::size_t length) {
        if (out_.size() - size_ < length) grow(length);
        if (length != 0) std::memcpy(&out_[size_], bytes, length);
        size_ += length;
    }
    void put(std::string_view bytes) { put(bytes.data(), bytes.size()); }
    void start_tag(std::string_view name, std::initializer_list<Attribute> attributes);
    // Room for `length` bytes more.
    void grow(std::size_t length);

    // The markup is the first size_ bytes; the rest is room to grow into.
    std::string out_;
    std::size_t size_ = 0;
};

} // namespace quillmark
