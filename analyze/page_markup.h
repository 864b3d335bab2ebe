// A small writer of HTML and inline SVG markup. Text goes in escaped by
// default (as character data and as attribute values alike); markup that is
// written as it stands goes in only through raw(), or as a fragment that
// another Markup wrote. Elements are written with their attributes in the
// order given.
#pragma once

#include <cstdint>
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
// value, which is escaped when written. A number is written with the given
// decimals ("%.*f").
class Attribute {
public:
    Attribute(const char* name, std::string_view value) : name_(name), value_(value) {}
    Attribute(const char* name, const char* value) : name_(name), value_(value) {}
    Attribute(const char* name, double value, int decimals);

    const char* name() const { return name_; }
    const std::string& value() const { return value_; }

private:
    const char* name_;
    std::string value_;
};

class Markup {
public:
    // Text, escaped with html_escape.
    Markup& text(std::string_view text);
    // A number with `decimals` decimals, or a whole number.
    Markup& number(double value, int decimals);
    Markup& number(std::int64_t value);
    // Markup written as it stands: tags, references and the program's own
    // words where they must stay as they are. Never a text from the report.
    Markup& raw(std::string_view markup);
    // A fragment that another writer built.
    Markup& append(const Markup& fragment);

    // "<name a="v" ...>".
    Markup& open(std::string_view name, std::initializer_list<Attribute> attributes = {});
    // "</name>".
    Markup& close(std::string_view name);
    // "<name ...>text</name>", the text escaped.
    Markup& element(std::string_view name, std::initializer_list<Attribute> attributes,
                    std::string_view text);
    // "<name ...></name>": an element without content, such as an SVG shape.
    Markup& empty_element(std::string_view name, std::initializer_list<Attribute> attributes);
    // "<name .../>": an HTML void element such as meta.
    Markup& void_element(std::string_view name, std::initializer_list<Attribute> attributes);

    void reserve(std::size_t bytes) { out_.reserve(bytes); }
    const std::string& str() const { return out_; }
    // The markup written, leaving the writer empty.
    std::string take();

private:
    void start_tag(std::string_view name, std::initializer_list<Attribute> attributes);

    std::string out_;
};

} // namespace quillmark
