// mutool run mupdf-links.js FILE: counts what MuPDF makes of a document's
// internal links and outline items, each as "KIND TOTAL RESOLVED". A link
// whose destination MuPDF cannot find is dropped from the page's list, so the
// resolved count is the number to compare; outline items stay, without a
// target.
var doc = new Document(scriptArgs[0]);

function resolves(uri) {
    if (!uri || uri.charAt(0) !== "#") return false;
    try {
        var at = doc.resolveLink(uri);
        return at !== null && at !== undefined && at.page >= 0;
    } catch (e) {
        return false;
    }
}

var links = 0, linksResolved = 0;
for (var i = 0; i < doc.countPages(); ++i) {
    var list = doc.loadPage(i).getLinks();
    for (var k = 0; k < list.length; ++k) {
        var uri = list[k].uri;
        if (uri && uri.charAt(0) !== "#") continue;  // a web address
        ++links;
        if (resolves(uri)) ++linksResolved;
    }
}

var items = 0, itemsResolved = 0;
var pending = [doc.loadOutline() || []];
while (pending.length > 0 && items < 100000) {
    var level = pending.pop();
    for (var j = 0; j < level.length; ++j) {
        ++items;
        if (resolves(level[j].uri)) ++itemsResolved;
        if (level[j].down) pending.push(level[j].down);
    }
}

print("links " + links + " " + linksResolved);
print("outline " + items + " " + itemsResolved);
