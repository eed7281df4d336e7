#include "tools/scan-plugins/ModuleInfo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

using nlohmann::ordered_json;

namespace {

// Deep enough for any moduleinfo; a text nested deeper is refused rather than
// allowed to exhaust the stack.
constexpr int kDeepest = 32;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

void AppendUtf8(uint32_t code, std::string& text) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class Json5Reader {
public:
    explicit Json5Reader(const std::string& text) : text_(text) {}

    [[nodiscard]] bool ReadDocument(ordered_json& value, std::string& problem) {
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
        if (!ReadValue(value, 0) || !SkipSpace() || at_ != text_.size()) {
            if (problem_.empty()) problem_ = "unexpected text";
            problem = problem_ + " at byte " + std::to_string(at_);
            return false;
        }
        return true;
    }

private:
    bool Fail(const char* why) {
        if (problem_.empty()) problem_ = why;
        return false;
    }

    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek(size_t ahead = 0) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
    }

    // Skips white space and comments; false on a comment without its end.
    bool SkipSpace() {
        while (!AtEnd()) {
            if (IsSpace(Peek())) {
                ++at_;
            } else if (Peek() == '/' && Peek(1) == '/') {
                while (!AtEnd() && Peek() != '\n') ++at_;
            } else if (Peek() == '/' && Peek(1) == '*') {
                size_t end = text_.find("*/", at_ + 2);
                if (end == std::string::npos) return Fail("a comment without its end");
                at_ = end + 2;
            } else {
                break;
            }
        }
        return true;
    }

    bool ReadValue(ordered_json& value, int depth) {
        if (depth > kDeepest) return Fail("nested too deeply");
        if (!SkipSpace()) return false;
        char c = Peek();
        if (c == '{') return ReadObject(value, depth);
        if (c == '[') return ReadArray(value, depth);
        if (c == '"' || c == '\'') {
            std::string text;
            if (!ReadString(text)) return false;
            value = std::move(text);
            return true;
        }
        return ReadWord(value);
    }

    bool ReadObject(ordered_json& value, int depth) {
        ++at_;
        value = ordered_json::object();
        for (;;) {
            if (!SkipSpace()) return false;
            if (Peek() == '}') {
                ++at_;
                return true;
            }
            std::string key;
            if (!ReadKey(key) || !SkipSpace()) return false;
            if (Peek() != ':') return Fail("a member without ':'");
            ++at_;
            ordered_json member;
            if (!ReadValue(member, depth + 1)) return false;
            value[key] = std::move(member);
            if (!SkipSpace()) return false;
            if (Peek() == ',') {
                ++at_;
            } else if (Peek() != '}') {
                return Fail("an object member without ',' or '}' after it");
            }
        }
    }

    bool ReadArray(ordered_json& value, int depth) {
        ++at_;
        value = ordered_json::array();
        for (;;) {
            if (!SkipSpace()) return false;
            if (Peek() == ']') {
                ++at_;
                return true;
            }
            ordered_json element;
            if (!ReadValue(element, depth + 1)) return false;
            value.push_back(std::move(element));
            if (!SkipSpace()) return false;
            if (Peek() == ',') {
                ++at_;
            } else if (Peek() != ']') {
                return Fail("an array element without ',' or ']' after it");
            }
        }
    }

    bool ReadKey(std::string& key) {
        if (Peek() == '"' || Peek() == '\'') return ReadString(key);
        size_t start = at_;
        while (!AtEnd() && IsIdentifierChar(Peek())) ++at_;
        if (at_ == start) return Fail("a member without a name");
        key = text_.substr(start, at_ - start);
        return true;
    }

    // Whether the quote at `quote` closes its string: the makers' tool does not
    // escape quotes inside strings, so only a quote that something a string
    // can stand before follows (or the end) closes one.
    bool ClosesString(size_t quote) const {
        size_t next = quote + 1;
        while (next < text_.size() && IsSpace(text_[next])) ++next;
        if (next == text_.size()) return true;
        char c = text_[next];
        return c == ',' || c == ':' || c == '}' || c == ']' ||
               (c == '/' && next + 1 < text_.size() &&
                (text_[next + 1] == '/' || text_[next + 1] == '*'));
    }

    bool ReadString(std::string& text) {
        char quote = Peek();
        ++at_;
        text.clear();
        for (;;) {
            if (AtEnd()) return Fail("a string without its end");
            char c = text_[at_];
            if (c == quote && ClosesString(at_)) {
                ++at_;
                return true;
            }
            if (c == '\\' && at_ + 1 < text_.size()) {
                // An unescaped backslash at a string's end stays a backslash.
                if (text_[at_ + 1] == quote && ClosesString(at_ + 1)) {
                    text += '\\';
                    at_ += 2;
                    return true;
                }
                if (!ReadEscape(text)) return false;
                continue;
            }
            text += c;
            ++at_;
        }
    }

    // A backslash and what follows it. The makers' tool writes backslashes
    // as they are, so one that starts no escape stays in the text.
    bool ReadEscape(std::string& text) {
        char c = text_[at_ + 1];
        const char* simple = "\"\"''\\\\//b\bf\fn\nr\rt\tv\v";
        for (const char* pair = simple; *pair != '\0'; pair += 2) {
            if (c == pair[0]) {
                text += pair[1];
                at_ += 2;
                return true;
            }
        }
        if (c == '\n') {
            at_ += 2;
            return true;
        }
        size_t digits = c == 'u' ? 4 : c == 'x' ? 2 : 0;
        bool hex = digits > 0 && at_ + 2 + digits <= text_.size();
        for (size_t at = 0; hex && at < digits; ++at) hex = IsHexDigit(text_[at_ + 2 + at]);
        if (!hex) {
            text += '\\';
            ++at_;
            return true;
        }
        uint32_t code = 0;
        for (size_t at = 0; at < digits; ++at) code = code * 16 + HexValue(text_[at_ + 2 + at]);
        at_ += 2 + digits;
        // A lone surrogate cannot be UTF-8; it stands as U+FFFD.
        AppendUtf8(code >= 0xD800 && code < 0xE000 ? 0xFFFD : code, text);
        return true;
    }

    // true, false, null or a number, as JSON5 writes them.
    bool ReadWord(ordered_json& value) {
        size_t start = at_;
        while (!AtEnd() &&
               (IsIdentifierChar(Peek()) || Peek() == '+' || Peek() == '-' || Peek() == '.')) {
            ++at_;
        }
        std::string word = text_.substr(start, at_ - start);
        if (word.empty()) return Fail("no value");
        if (word == "true" || word == "false") {
            value = word == "true";
            return true;
        }
        if (word == "null") {
            value = nullptr;
            return true;
        }
        return ReadNumber(word, value);
    }

    bool ReadNumber(const std::string& word, ordered_json& value) {
        size_t at = 0;
        bool negative = false;
        if (word[0] == '+' || word[0] == '-') {
            negative = word[0] == '-';
            at = 1;
        }
        std::string body = word.substr(at);
        if (body == "Infinity" || body == "NaN") {
            value = body == "NaN" ? NAN : (negative ? -INFINITY : INFINITY);
            return true;
        }
        if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
            uint64_t number = 0;
            for (size_t digit = 2; digit < body.size(); ++digit) {
                if (!IsHexDigit(body[digit]) || number > (UINT64_MAX >> 4)) {
                    return Fail("a hexadecimal number that cannot be read");
                }
                number = number * 16 + HexValue(body[digit]);
            }
            if (negative) {
                value = -static_cast<double>(number);
            } else {
                value = number;
            }
            return true;
        }
        bool digits = false;
        for (char c : body) {
            if (c >= '0' && c <= '9') {
                digits = true;
            } else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') {
                return Fail("a value that cannot be read");
            }
        }
        if (!digits) return Fail("a value that cannot be read");
        char* end = nullptr;
        if (body.find_first_of(".eE") == std::string::npos) {
            unsigned long long number = std::strtoull(body.c_str(), &end, 10);
            if (*end != '\0') return Fail("a number that cannot be read");
            if (negative && number <= static_cast<unsigned long long>(INT64_MAX)) {
                value = -static_cast<int64_t>(number);
            } else if (negative) {
                value = -static_cast<double>(number);
            } else {
                value = static_cast<uint64_t>(number);
            }
            return true;
        }
        double number = std::strtod(body.c_str(), &end);
        if (*end != '\0') return Fail("a number that cannot be read");
        value = negative ? -number : number;
        return true;
    }

    const std::string& text_;
    size_t at_ = 0;
    std::string problem_;
};

// Members of the moduleinfo object, each checked for its type.

bool ReadText(const ordered_json& object, const char* key, bool required, std::string& text,
              std::string& problem) {
    auto member = object.find(key);
    if (member == object.end()) {
        if (required) problem = std::string("\"") + key + "\" is missing";
        return !required;
    }
    if (!member->is_string()) {
        problem = std::string("\"") + key + "\" is no string";
        return false;
    }
    text = member->get<std::string>();
    return true;
}

template <typename Number>
bool ReadInteger(const ordered_json& object, const char* key, Number& number,
                 std::string& problem) {
    auto member = object.find(key);
    if (member == object.end()) return true;
    if (!member->is_number_integer()) {
        problem = std::string("\"") + key + "\" is no whole number";
        return false;
    }
    number = static_cast<Number>(member->get<int64_t>());
    return true;
}

bool ReadTextList(const ordered_json& list, std::vector<std::string>& texts) {
    if (!list.is_array()) return false;
    for (const ordered_json& text : list) {
        if (!text.is_string()) return false;
        texts.push_back(text.get<std::string>());
    }
    return true;
}

bool ReadClass(const ordered_json& object, ModuleInfoClass& found, std::string& problem) {
    if (!object.is_object()) {
        problem = "a class is no object";
        return false;
    }
    if (!ReadText(object, "CID", true, found.cid, problem) ||
        !ReadText(object, "Category", true, found.category, problem) ||
        !ReadText(object, "Name", true, found.name, problem) ||
        !ReadText(object, "Vendor", false, found.vendor, problem) ||
        !ReadText(object, "Version", false, found.version, problem) ||
        !ReadText(object, "SDKVersion", false, found.sdkVersion, problem) ||
        !ReadInteger(object, "Class Flags", found.classFlags, problem) ||
        !ReadInteger(object, "Cardinality", found.cardinality, problem)) {
        return false;
    }
    auto subCategories = object.find("Sub Categories");
    if (subCategories == object.end()) return true;
    std::vector<std::string> list;
    if (!ReadTextList(*subCategories, list)) {
        problem = "\"Sub Categories\" is no list of strings";
        return false;
    }
    for (const std::string& each : list) {
        found.subCategories += (found.subCategories.empty() ? "" : "|") + each;
    }
    return true;
}

bool ReadCompatibility(const ordered_json& object, ModuleInfoCompatibility& entry,
                       std::string& problem) {
    auto old = object.is_object() ? object.find("Old") : object.end();
    if (!object.is_object() || !ReadText(object, "New", true, entry.newCid, problem) ||
        old == object.end() || !ReadTextList(*old, entry.oldCids)) {
        problem = "a \"Compatibility\" entry is not a \"New\" id with a list of \"Old\" ids";
        return false;
    }
    return true;
}

bool ReadFactoryInfo(const ordered_json& top, ModuleInfo& info, std::string& problem) {
    auto factory = top.find("Factory Info");
    if (factory == top.end()) return true;
    if (!factory->is_object()) {
        problem = "\"Factory Info\" is no object";
        return false;
    }
    return ReadText(*factory, "Vendor", false, info.factoryVendor, problem) &&
           ReadText(*factory, "URL", false, info.factoryUrl, problem) &&
           ReadText(*factory, "E-Mail", false, info.factoryEmail, problem);
}

bool ReadModuleInfo(const ordered_json& top, ModuleInfo& info, std::string& problem) {
    if (!top.is_object()) {
        problem = "the text is no object";
        return false;
    }
    if (!ReadText(top, "Name", false, info.name, problem) ||
        !ReadText(top, "Version", false, info.version, problem) ||
        !ReadFactoryInfo(top, info, problem)) {
        return false;
    }
    auto classes = top.find("Classes");
    if (classes == top.end() || !classes->is_array()) {
        problem = "\"Classes\" is missing or no list";
        return false;
    }
    for (const ordered_json& object : *classes) {
        info.classes.emplace_back();
        if (!ReadClass(object, info.classes.back(), problem)) return false;
    }
    auto compatibility = top.find("Compatibility");
    if (compatibility == top.end()) return true;
    if (!compatibility->is_array()) {
        problem = "\"Compatibility\" is no list";
        return false;
    }
    for (const ordered_json& object : *compatibility) {
        info.compatibility.emplace_back();
        if (!ReadCompatibility(object, info.compatibility.back(), problem)) return false;
    }
    return true;
}

bool AllHex(const std::string& text) {
    for (char c : text) {
        if (!IsHexDigit(c)) return false;
    }
    return true;
}

bool Vst2IdInOrder(const std::string& cid, uint32_t& vst2Id) {
    if (cid.size() != 32 || !AllHex(cid) || (cid.compare(0, 6, "565354") != 0)) return false;
    uint32_t id = 0;
    for (size_t at = 6; at < 14; ++at) id = id * 16 + HexValue(cid[at]);
    vst2Id = id;
    return true;
}

}  // namespace

bool ParseModuleInfo(const std::string& text, ModuleInfo& info, std::string& problem) {
    if (text.size() > kModuleInfoLimit) {
        problem = "larger than " + std::to_string(kModuleInfoLimit) + " bytes";
        return false;
    }
    ordered_json top;
    Json5Reader reader(text);
    ModuleInfo read;
    if (!reader.ReadDocument(top, problem) || !ReadModuleInfo(top, read, problem)) return false;
    info = std::move(read);
    return true;
}

bool Vst2IdOfClassId(const std::string& cid, uint32_t& vst2Id) {
    return Vst2IdInOrder(cid, vst2Id) || Vst2IdInOrder(OtherClassIdOrder(cid), vst2Id);
}

// Bytes 0-3, 4-5 and 6-7 are reversed between the two orders; 8-15 stay.
std::string OtherClassIdOrder(const std::string& cid) {
    if (cid.size() != 32) return cid;
    std::string other = cid;
    auto reverseBytes = [&](size_t first, size_t count) {
        for (size_t at = 0; at < count; ++at) {
            other.replace(2 * (first + at), 2, cid, 2 * (first + count - 1 - at), 2);
        }
    };
    reverseBytes(0, 4);
    reverseBytes(4, 2);
    reverseBytes(6, 2);
    return other;
}

std::string Vst2IdText(uint32_t id) {
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned byte = (id >> shift) & 0xFF;
        if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            text += escaped;
        }
    }
    return text + "'";
}
