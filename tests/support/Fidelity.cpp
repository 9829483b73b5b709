#include "support/Fidelity.h"

#include <map>
#include <set>

#include "support/QpdfJson.h"

namespace e2e {

namespace {

using Objects = std::map<std::string, JsonValue>;

// "N G R" as qpdf writes a reference, or "".
std::string Ref(const JsonValue* v) {
    if (!v || v->kind != JsonValue::String) return "";
    const std::string& t = v->text;
    return t.size() > 2 && t.compare(t.size() - 2, 2, " R") == 0 ? t : "";
}

// The dictionary of an object (a stream's dictionary for a stream), or null.
const JsonValue* DictOf(const Objects& objects, const std::string& ref) {
    const auto it = objects.find("obj:" + ref);
    if (it == objects.end()) return nullptr;
    if (const JsonValue* v = it->second.Find("value")) return v;
    if (const JsonValue* s = it->second.Find("stream")) return s->Find("dict");
    return nullptr;
}

// The object's JSON with the ignored keys of its dictionary left out.
std::string Without(const JsonValue& object, const std::set<std::string>& ignored) {
    JsonValue copy = object;
    JsonValue* dict = nullptr;
    for (auto& [k, v] : copy.members) {
        if (k == "value") dict = &v;
        if (k == "stream")
            for (auto& [sk, sv] : v.members)
                if (sk == "dict") dict = &sv;
    }
    if (dict && dict->kind == JsonValue::Object) {
        auto& m = dict->members;
        std::erase_if(m, [&](const auto& kv) { return ignored.count(kv.first) != 0; });
    }
    return copy.Dump();
}

// The nodes of the input's Dests tree and, when asked, the destinations its
// Names arrays refer to. The walk is bounded and visits a node once.
void OwnedTree(const Objects& in, const std::string& root, bool dests,
               std::set<std::string>* owned) {
    std::vector<std::string> todo = {root};
    while (!todo.empty() && owned->size() < 100000) {
        const std::string ref = todo.back();
        todo.pop_back();
        if (ref.empty() || !owned->insert("obj:" + ref).second) continue;
        const JsonValue* node = DictOf(in, ref);
        if (!node) continue;
        if (const JsonValue* kids = node->Find("/Kids"))
            for (const JsonValue& k : kids->items) todo.push_back(Ref(&k));
        if (const JsonValue* names = node->Find("/Names"); names && dests)
            for (size_t i = 1; i < names->items.size(); i += 2)
                if (std::string d = Ref(&names->items[i]); !d.empty()) owned->insert("obj:" + d);
    }
}

}  // namespace

std::vector<std::string> JobDifferences(const std::string& in, const std::string& out,
                                        bool destsOwned, const std::string& password) {
    std::string error;
    const Objects a = QpdfObjects(in, &error, password);
    if (a.empty()) return {"input: " + error};
    const Objects b = QpdfObjects(out, &error, password);
    if (b.empty()) return {"output: " + error};

    std::map<std::string, std::set<std::string>> ignoredKeys;
    std::set<std::string> owned;
    const JsonValue* trailer = a.at("trailer").Find("value");
    // A stream section's dictionary is the input's trailer; the keys that
    // describe the stream leave with it.
    std::set<std::string> trailerKeys = {"/Size",    "/Prev",       "/ID",     "/Type",
                                         "/W",       "/Index",      "/Filter", "/Length",
                                         "/XRefStm", "/DecodeParms"};
    if (!trailer->Find("/Info")) trailerKeys.insert("/Info");
    ignoredKeys["trailer"] = trailerKeys;
    const std::string root = Ref(trailer->Find("/Root"));
    ignoredKeys["obj:" + root] = {"/Names"};
    if (const std::string info = Ref(trailer->Find("/Info")); !info.empty())
        ignoredKeys["obj:" + info] = {"/Producer", "/ModDate", "/CreationDate"};
    if (const JsonValue* catalog = DictOf(a, root)) {
        const JsonValue* names = catalog->Find("/Names");
        if (const std::string n = Ref(names); !n.empty()) {
            ignoredKeys["obj:" + n] = {"/Dests"};
            names = DictOf(a, n);
        }
        if (names && names->kind == JsonValue::Object)
            OwnedTree(a, Ref(names->Find("/Dests")), destsOwned, &owned);
    }
    // The root objects stay even when a tree points at them.
    for (const auto& [key, keys] : ignoredKeys) owned.erase(key);

    // Object streams and cross-reference streams are containers: their
    // objects and entries are compared one by one, the containers not.
    for (const auto& [key, value] : a)
        if (const JsonValue* s = value.Find("stream"))
            if (const JsonValue* d = s->Find("dict"))
                if (const JsonValue* t = d->Find("/Type");
                    t && (t->text == "/ObjStm" || t->text == "/XRef"))
                    owned.insert(key);
    // A whole rewrite is no longer linearized: its parameter dictionary and
    // its hint stream (the stream of no Type with the shared objects' table
    // offset /S) go.
    bool linearized = false;
    for (const auto& [key, value] : a)
        if (const JsonValue* v = value.Find("value"); v && v->Find("/Linearized")) {
            owned.insert(key);
            linearized = true;
        }
    for (const auto& [key, value] : a)
        if (const JsonValue* s = value.Find("stream"); s && linearized)
            if (const JsonValue* d = s->Find("dict"); d && d->Find("/S") && !d->Find("/Type"))
                owned.insert(key);

    std::vector<std::string> diffs;
    for (const auto& [key, before] : a) {
        if (owned.count(key)) continue;
        const auto it = b.find(key);
        if (it == b.end()) {
            diffs.push_back(key + ": missing in the output");
            continue;
        }
        const auto ig = ignoredKeys.find(key);
        const std::set<std::string> none;
        const std::set<std::string>& keys = ig == ignoredKeys.end() ? none : ig->second;
        const std::string x = Without(before, keys), y = Without(it->second, keys);
        if (x != y)
            diffs.push_back(key + ":\n  in:  " + x.substr(0, 600) + "\n  out: " + y.substr(0, 600));
    }
    return diffs;
}

}  // namespace e2e
