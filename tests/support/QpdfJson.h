#pragma once

// The objects of a PDF file as qpdf's JSON (version 2) shows them, for
// comparing a file the job wrote with its input through an independent reader.
// Numbers keep their text, so values compare by exact decimal value.

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    std::string text;  // Bool: "true"/"false"; Number: canonical decimal; String: UTF-8
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in file order

    const JsonValue* Find(const std::string& key) const;
    // Compact text with members sorted, for equality and messages.
    std::string Dump() const;
};

// Parses JSON text; false (with a reason in *error) on a syntax error.
bool ParseJson(const std::string& text, JsonValue* out, std::string* error = nullptr);

// A number's text in a canonical form of its exact decimal value: no sign for
// zero, no '+', no leading or trailing zeros, no bare '.' ("-.50" is "-0.5").
std::string CanonicalDecimal(const std::string& number);

// Every object of the file, by qpdf's key ("obj:N G R", "trailer"), with
// streams as {"stream": {"dict": ..., "data": base64 of the raw bytes}}.
// Empty when qpdf fails. An encrypted file is read with password, in the clear.
std::map<std::string, JsonValue> QpdfObjects(const std::string& file, std::string* error = nullptr,
                                             const std::string& password = "");

}  // namespace e2e
