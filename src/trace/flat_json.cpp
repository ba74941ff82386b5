#include "flat_json.h"

namespace qvt::trace {
namespace {

class Reader {
  public:
    explicit Reader(std::string_view text) : text_(text) {}

    Result<FlatObject> Object() {
        FlatObject object;
        Blanks();
        if (!Take('{')) return Fail("not a JSON object");
        Blanks();
        if (Take('}')) return Finished(std::move(object));
        for (;;) {
            Blanks();
            std::string key;
            if (!String(key)) return Fail(why_.empty() ? "a key that is not a string" : why_);
            if (object.Find(key)) return Fail("key " + Quoted(key) + " given twice");
            Blanks();
            if (at_ >= text_.size()) return Fail("the line ends inside its object");
            if (!Take(':')) return Fail("no ':' after a key");
            Blanks();
            FlatValue value;
            if (!Value(value)) return Fail(why_);
            object.members.emplace_back(std::move(key), std::move(value));
            Blanks();
            if (Take('}')) return Finished(std::move(object));
            if (at_ >= text_.size()) return Fail("the line ends inside its object");
            if (!Take(',')) return Fail("no ',' or '}' after a value");
        }
    }

  private:
    Result<FlatObject> Finished(FlatObject object) {
        Blanks();
        if (at_ != text_.size()) return Fail("something after the object");
        return object;
    }
    Result<FlatObject> Fail(const std::string& why) {
        return Result<FlatObject>::Failure(why + " (at byte " + std::to_string(at_ + 1) + ")");
    }
    bool Take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void Blanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r'))
            ++at_;
    }
    bool Literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool Value(FlatValue& value) {
        if (at_ >= text_.size()) return Wrong("the line ends inside its object");
        if (text_[at_] == '"') {
            value.type = FlatValue::Type::kString;
            return String(value.text);
        }
        if (Literal("true") || Literal("false")) {
            value.type = FlatValue::Type::kBool;
            value.flag = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
            return true;
        }
        if (Literal("null")) return true;
        if (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            value.type = FlatValue::Type::kNumber;
            if (text_[at_] == '0' && at_ + 1 < text_.size() && text_[at_ + 1] >= '0' &&
                text_[at_ + 1] <= '9') {
                return Wrong("a number with a leading zero");
            }
            for (; at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9'; ++at_) {
                const std::uint64_t digit = static_cast<std::uint64_t>(text_[at_] - '0');
                if (value.number > (UINT64_MAX - digit) / 10) return Wrong("a number too large");
                value.number = value.number * 10 + digit;
            }
            if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E'))
                return Wrong("a number that is not whole");
            return true;
        }
        return Wrong("a value that is not a string, a whole number, true, false or null");
    }
    bool Wrong(const char* why) {
        why_ = why;
        return false;
    }
    bool Hex4(unsigned& code) {
        code = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            if (at_ >= text_.size()) return false;
            const char c = text_[at_];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            code = code * 16 + static_cast<unsigned>(digit);
        }
        return true;
    }
    void Utf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        for (;;) {
            // Most of a trace is plain text: taken a run at a time.
            std::size_t run_end = at_;
            while (run_end < text_.size() && text_[run_end] != '"' && text_[run_end] != '\\' &&
                   static_cast<unsigned char>(text_[run_end]) >= 0x20) {
                ++run_end;
            }
            out.append(text_.substr(at_, run_end - at_));
            at_ = run_end;
            if (at_ < text_.size() && static_cast<unsigned char>(text_[at_]) < 0x20) {
                return Wrong("a control character in a string");
            }
            if (at_ >= text_.size()) return Wrong("a string that does not end");
            const char c = text_[at_++];
            if (c == '"') return true;
            if (at_ >= text_.size()) return Wrong("a string that does not end");
            const char escaped = text_[at_++];
            constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
            if (const auto plain = kFrom.find(escaped); plain != std::string_view::npos) {
                out += kTo[plain];
                continue;
            }
            unsigned code = 0;
            if (escaped != 'u' || !Hex4(code)) return Wrong("a bad escape in a string");
            if (code >= 0xD800 && code < 0xDC00) {
                unsigned low = 0;
                if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low >= 0xE000)
                    return Wrong("half a surrogate pair in a string");
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code < 0xE000) {
                return Wrong("half a surrogate pair in a string");
            }
            Utf8(out, code);
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string why_;
};

}  // namespace

std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    std::string_view shown = text;
    if (text.size() > kShown) {
        // Cut at a character's start, never inside one.
        std::size_t cut = kShown;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        shown = text.substr(0, cut);
    }
    // In JSON's escapes, as the trace held it: a name that held "\n" must not break the error's
    // one line, nor a control character reach the terminal. Appended piece by piece: GCC 12 at
    // -O3 warns falsely (-Wrestrict) on "literal" + string.
    std::string quoted = "\"";
    for (const char c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted.append(1, '\\').append(1, c);
        } else if (byte < 0x20 || byte == 0x7F) {
            constexpr char kDigits[] = "0123456789abcdef";
            quoted.append("\\u00").append(1, kDigits[byte >> 4]).append(1, kDigits[byte & 0xF]);
        } else {
            quoted.append(1, c);
        }
    }
    return quoted.append(shown.size() < text.size() ? "...\"" : "\"");
}

const FlatValue* FlatObject::Find(std::string_view key) const {
    for (const auto& [name, value] : members) {
        if (name == key) return &value;
    }
    return nullptr;
}

Result<FlatObject> ParseFlatObject(std::string_view line) {
    return Reader(line).Object();
}

}  // namespace qvt::trace
