#include "support/QpdfJson.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "support/E2E.h"

namespace e2e {

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    bool Parse(JsonValue* out, std::string* error) {
        const bool ok = Value(out, 0) && (Space(), pos_ == s_.size());
        if (!ok && error) *error = "JSON syntax error near byte " + std::to_string(pos_);
        return ok;
    }

private:
    void Space() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool Eat(char c) {
        Space();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(const char* w) {
        const std::string word(w);
        if (s_.compare(pos_, word.size(), word) != 0) return false;
        pos_ += word.size();
        return true;
    }
    static void Utf8(unsigned cp, std::string* out) {
        if (cp < 0x80) {
            *out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            *out += static_cast<char>(0xC0 | (cp >> 6));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *out += static_cast<char>(0xE0 | (cp >> 12));
            *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *out += static_cast<char>(0xF0 | (cp >> 18));
            *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool Hex4(unsigned* cp) {
        if (pos_ + 4 > s_.size()) return false;
        *cp = static_cast<unsigned>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
        pos_ += 4;
        return true;
    }
    bool String(std::string* out) {
        if (!Eat('"')) return false;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (pos_ >= s_.size()) return false;
            c = s_[pos_++];
            switch (c) {
                case 'b':
                    *out += '\b';
                    break;
                case 'f':
                    *out += '\f';
                    break;
                case 'n':
                    *out += '\n';
                    break;
                case 'r':
                    *out += '\r';
                    break;
                case 't':
                    *out += '\t';
                    break;
                case 'u': {
                    unsigned cp = 0;
                    if (!Hex4(&cp)) return false;
                    if (cp >= 0xD800 && cp < 0xDC00 && Word("\\u")) {
                        unsigned low = 0;
                        if (!Hex4(&low)) return false;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    Utf8(cp, out);
                    break;
                }
                default:
                    *out += c;
                    break;
            }
        }
        return Eat('"');
    }
    bool Value(JsonValue* v, int depth) {
        if (depth > 200) return false;
        Space();
        if (pos_ >= s_.size()) return false;
        const char c = s_[pos_];
        if (c == '{') {
            ++pos_;
            v->kind = JsonValue::Object;
            if (Eat('}')) return true;
            do {
                std::string key;
                JsonValue member;
                if (!String(&key) || !Eat(':') || !Value(&member, depth + 1)) return false;
                v->members.emplace_back(std::move(key), std::move(member));
            } while (Eat(','));
            return Eat('}');
        }
        if (c == '[') {
            ++pos_;
            v->kind = JsonValue::Array;
            if (Eat(']')) return true;
            do {
                v->items.emplace_back();
                if (!Value(&v->items.back(), depth + 1)) return false;
            } while (Eat(','));
            return Eat(']');
        }
        if (c == '"') {
            v->kind = JsonValue::String;
            return String(&v->text);
        }
        if (Word("true") || Word("false")) {
            v->kind = JsonValue::Bool;
            v->text = s_[pos_ - 1] == 'e' && s_[pos_ - 2] == 'u' ? "true" : "false";
            return true;
        }
        if (Word("null")) return true;
        const size_t start = pos_;
        while (pos_ < s_.size() && std::strchr("+-.0123456789eE", s_[pos_])) ++pos_;
        if (pos_ == start) return false;
        v->kind = JsonValue::Number;
        v->text = CanonicalDecimal(s_.substr(start, pos_ - start));
        return true;
    }

    const std::string& s_;
    size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(const std::string& key) const {
    for (const auto& [k, v] : members)
        if (k == key) return &v;
    return nullptr;
}

std::string JsonValue::Dump() const {
    switch (kind) {
        case Null:
            return "null";
        case Bool:
        case Number:
            return text;
        case String:
            return "\"" + text + "\"";
        case Array: {
            std::string out = "[";
            for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i].Dump();
            return out + "]";
        }
        case Object: {
            std::vector<std::pair<std::string, std::string>> sorted;
            for (const auto& [k, v] : members) sorted.emplace_back(k, v.Dump());
            std::sort(sorted.begin(), sorted.end());
            std::string out = "{";
            for (size_t i = 0; i < sorted.size(); ++i)
                out += (i ? ",\"" : "\"") + sorted[i].first + "\":" + sorted[i].second;
            return out + "}";
        }
    }
    return "";
}

bool ParseJson(const std::string& text, JsonValue* out, std::string* error) {
    *out = JsonValue();
    return Parser(text).Parse(out, error);
}

std::string CanonicalDecimal(const std::string& number) {
    std::string s = number;
    // Exponents do not occur in PDF numbers; keep such text as it is.
    if (s.find_first_of("eE") != std::string::npos) return s;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    const size_t dot = s.find('.');
    std::string whole = s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    frac.erase(frac.find_last_not_of('0') + 1);
    if (whole.empty()) whole = "0";
    std::string out = whole + (frac.empty() ? "" : "." + frac);
    return negative && out != "0" ? "-" + out : out;
}

std::map<std::string, JsonValue> QpdfObjects(const std::string& file, std::string* error,
                                             const std::string& password) {
    std::map<std::string, JsonValue> objects;
    std::vector<std::string> argv = {"qpdf", "--json=2", "--json-key=qpdf",
                                     "--json-stream-data=inline", "--decode-level=none"};
    if (!password.empty()) argv.push_back("--password=" + password);
    argv.push_back(file);
    const RunResult r = Run(argv);
    if (r.code != 0 && r.code != 3) {
        if (error) *error = "qpdf failed: " + r.err;
        return objects;
    }
    JsonValue doc;
    if (!ParseJson(r.out, &doc, error)) return objects;
    const JsonValue* qpdf = doc.Find("qpdf");
    if (!qpdf || qpdf->kind != JsonValue::Array || qpdf->items.size() < 2) {
        if (error) *error = "no \"qpdf\" array in qpdf's JSON";
        return objects;
    }
    for (auto& [key, value] : qpdf->items[1].members) objects[key] = value;
    return objects;
}

}  // namespace e2e
