// MEME's XML output (meme.xml). Every <motif> of <motifs> gives a matrix
// from its <probabilities>: titled by its name attribute (the title the
// text report gives it; the id attribute when it has no name), alt ID its
// alt attribute, counts = probability x its sites attribute (else the
// reading's default sites), checked against its width attribute. A <value>
// names its base by letter_id: an id of the <alphabet>'s <letter> entries,
// whose symbol is the base, or the base itself. The XML is read by a small
// scanner of tags, attributes and text that passes over the declaration,
// comments and the document type. Takes the whole text, returns the
// matrices in file order; faults (bad XML, another root than <MEME>, a
// letter that is not a base, a row without one of the four bases) are
// InputErrors of matrix_formats::Problems.
#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "motif/count_matrix.h"
#include "motif/matrix_formats/reading.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

struct XmlItem {
    enum class Kind { Start, End, Text };
    Kind kind = Kind::Text;
    size_t line = 0;
    std::string name;  // the element's, for Start and End
    std::map<std::string, std::string> attributes;
    std::string text;  // for Text
};

bool isXmlBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Appends the UTF-8 bytes of a code point.
void appendUtf8(std::string& to, unsigned long code) {
    if (code < 0x80) {
        to += static_cast<char>(code);
    } else if (code < 0x800) {
        to += static_cast<char>(0xC0 | (code >> 6));
        to += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        to += static_cast<char>(0xE0 | (code >> 12));
        to += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        to += static_cast<char>(0xF0 | ((code >> 18) & 0x07));
        to += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        to += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Appends the character of a reference "#N" or "#xN"; false for anything
// else.
bool appendReference(std::string& to, std::string_view entity) {
    const bool hex = entity.size() > 1 && entity[1] == 'x';
    const std::string_view digits = entity.substr(std::min<size_t>(entity.size(), hex ? 2 : 1));
    unsigned long code = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, code, hex ? 16 : 10);
    if (entity.empty() || entity[0] != '#' || digits.empty() || error != std::errc() ||
        stop != end || code == 0 || code > 0x10FFFF) {
        return false;
    }
    appendUtf8(to, code);
    return true;
}

// Text with its five named entities and character references replaced;
// any other '&' is kept as it is.
std::string decoded(std::string_view text) {
    static const std::map<std::string_view, char> named = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    std::string result;
    for (size_t at = 0; at < text.size(); ++at) {
        // An entity is short: its ';' is looked for in the next few bytes.
        const size_t semicolon =
            text[at] == '&' ? text.substr(at, 12).find(';') : std::string_view::npos;
        if (semicolon == std::string_view::npos) {
            result += text[at];
            continue;
        }
        const std::string_view entity = text.substr(at + 1, semicolon - 1);
        const auto found = named.find(entity);
        if (found != named.end()) {
            result += found->second;
        } else if (!appendReference(result, entity)) {
            result += text[at];
            continue;
        }
        at += semicolon;
    }
    return result;
}

// The tags and texts of an XML document in order.
class XmlScanner {
  public:
    XmlScanner(std::string_view text, const Problems& problems)
        : text_(text), problems_(problems) {}

    bool next(XmlItem& item) {
        while (at_ < text_.size()) {
            item = XmlItem{};
            item.line = line_;
            if (text_[at_] != '<') {
                const size_t end = std::min(text_.find('<', at_), text_.size());
                item.text = decoded(text_.substr(at_, end - at_));
                moveTo(end);
                return true;
            }
            const std::string_view rest = text_.substr(at_);
            if (startsWith(rest, "<!--")) {
                moveTo(endOf("-->", at_ + 4, "a comment"));
            } else if (startsWith(rest, "<?")) {
                moveTo(endOf("?>", at_ + 2, "a declaration"));
            } else if (startsWith(rest, "<![CDATA[")) {
                const size_t end = endOf("]]>", at_ + 9, "a CDATA section");
                item.text = std::string(text_.substr(at_ + 9, end - 3 - at_ - 9));
                moveTo(end);
                return true;
            } else if (startsWith(rest, "<!")) {
                moveTo(endOfDeclaration());
            } else {
                return tag(item);
            }
        }
        return false;
    }

  private:
    // The position after `close`, searched from `from`.
    size_t endOf(std::string_view close, size_t from, const char* what) const {
        const size_t found = text_.find(close, from);
        if (found == std::string_view::npos) {
            problems_.at(line_, std::string(what) + " that does not end");
        }
        return found + close.size();
    }

    // The end of "<!DOCTYPE ... [ internal subset ]>" and the like.
    size_t endOfDeclaration() const {
        size_t at = at_ + 2;
        bool subset = false;
        while (at < text_.size()) {
            const char c = text_[at];
            if (c == '"' || c == '\'') {
                at = endOf(std::string_view(&text_[at], 1), at + 1, "a quoted text");
            } else if (subset && startsWith(text_.substr(at), "<!--")) {
                at = endOf("-->", at + 4, "a comment");
            } else if (c == '[' || c == ']') {
                subset = c == '[';
                ++at;
            } else if (c == '>' && !subset) {
                return at + 1;
            } else {
                ++at;
            }
        }
        problems_.at(line_, "a document type declaration that does not end");
    }

    void moveTo(size_t end) {
        for (size_t i = at_; i < end; ++i) {
            line_ += text_[i] == '\n' ? 1 : 0;
        }
        at_ = end;
    }

    std::string_view nameAt(size_t& at) const {
        const size_t start = at;
        while (at < text_.size() && !isXmlBlank(text_[at]) && text_[at] != '>' &&
               text_[at] != '/' && text_[at] != '=') {
            ++at;
        }
        return text_.substr(start, at - start);
    }

    void skipBlanks(size_t& at) const {
        while (at < text_.size() && isXmlBlank(text_[at])) {
            ++at;
        }
    }

    [[noreturn]] void unfinished() const { problems_.at(line_, "a tag that does not end"); }

    bool tag(XmlItem& item) {
        size_t at = at_ + 1;
        const bool closing = at < text_.size() && text_[at] == '/';
        at += closing ? 1 : 0;
        item.kind = closing ? XmlItem::Kind::End : XmlItem::Kind::Start;
        item.name = std::string(nameAt(at));
        if (item.name.empty()) {
            problems_.at(line_, "a '<' that begins no tag");
        }
        while (true) {
            skipBlanks(at);
            if (at >= text_.size()) {
                unfinished();
            }
            if (text_[at] == '>' || (!closing && startsWith(text_.substr(at), "/>"))) {
                pendingEnd_ = text_[at] == '/';
                break;
            }
            const std::string name(nameAt(at));
            skipBlanks(at);
            if (closing || name.empty() || at >= text_.size() || text_[at] != '=') {
                problems_.at(line_, "a malformed attribute in <" + item.name + ">");
            }
            ++at;
            skipBlanks(at);
            if (at >= text_.size() || (text_[at] != '"' && text_[at] != '\'')) {
                problems_.at(
                    line_, "the attribute " + name + " of <" + item.name + "> has no quoted value");
            }
            const size_t end = text_.find(text_[at], at + 1);
            if (end == std::string_view::npos) {
                unfinished();
            }
            item.attributes[name] = decoded(text_.substr(at + 1, end - at - 1));
            at = end + 1;
        }
        moveTo(at + (pendingEnd_ ? 2 : 1));
        return true;
    }

  public:
    // Whether the last start tag was empty ("<x/>"): its end comes next.
    bool takeEmptyEnd() {
        const bool empty = pendingEnd_;
        pendingEnd_ = false;
        return empty;
    }

  private:
    std::string_view text_;
    const Problems& problems_;
    size_t at_ = 0;
    size_t line_ = 1;
    bool pendingEnd_ = false;
};

std::string attribute(const XmlItem& item, const std::string& key) {
    const auto found = item.attributes.find(key);
    return found == item.attributes.end() ? std::string() : found->second;
}

// The reading of the document's elements, one at a time.
class MemeXml {
  public:
    MemeXml(const MatrixReading& reading, const Problems& problems)
        : reading_(reading), problems_(problems) {}

    void start(const XmlItem& item) {
        if (open_.empty() && item.name != "MEME") {
            problems_.at(item.line, "an XML file whose root is <" + item.name +
                                        ">; only MEME's XML output (<MEME>) is read");
        }
        const std::string parent = open_.empty() ? "" : open_.back();
        open_.push_back(item.name);
        if (item.name == "letter" && parent == "alphabet") {
            letters_[attribute(item, "id")] = baseOfLetter(attribute(item, "symbol"));
        } else if (item.name == "motif" && parent == "motifs") {
            startMotif(item);
        } else if (pathEndsWith({"motif", "probabilities", "alphabet_matrix", "alphabet_array"})) {
            row_ = {};
            seen_ = {};
        } else if (pathEndsWith({"probabilities", "alphabet_matrix", "alphabet_array", "value"})) {
            base_ = baseOf(attribute(item, "letter_id"), item.line);
            valueLine_ = item.line;
            value_.clear();
        }
    }

    void text(const XmlItem& item) {
        if (pathEndsWith({"probabilities", "alphabet_matrix", "alphabet_array", "value"})) {
            value_ += item.text;
        }
    }

    void end(const XmlItem& item) {
        if (open_.empty() || open_.back() != item.name) {
            problems_.at(item.line, "</" + item.name + "> where " +
                                        (open_.empty() ? std::string("no element is open")
                                                       : "</" + open_.back() + "> was expected"));
        }
        if (pathEndsWith({"probabilities", "alphabet_matrix", "alphabet_array", "value"})) {
            endValue();
        } else if (pathEndsWith({"motif", "probabilities", "alphabet_matrix", "alphabet_array"})) {
            endRow(item.line);
        } else if (pathEndsWith({"motifs", "motif"})) {
            endMotif();
        }
        open_.pop_back();
    }

    std::vector<CountMatrix> finish(size_t line) {
        if (!open_.empty()) {
            problems_.at(line, "the file ends inside <" + open_.back() + ">");
        }
        if (matrices_.empty()) {
            problems_.whole("no matrix (no <motif> in <motifs>)");
        }
        return std::move(matrices_);
    }

  private:
    // Whether the open elements end with these.
    bool pathEndsWith(std::initializer_list<std::string_view> names) const {
        return open_.size() >= names.size() &&
               std::equal(names.begin(), names.end(), open_.end() - names.size());
    }

    int baseOf(const std::string& letter, size_t line) const {
        const auto found = letters_.find(letter);
        const int base = found != letters_.end() ? found->second : baseOfLetter(letter);
        if (base < 0) {
            problems_.at(line, "letter_id " + quoted(letter) +
                                   " is not a base (A, C, G, T): only DNA motifs are read");
        }
        return base;
    }

    void startMotif(const XmlItem& item) {
        motif_ = CountMatrix{};
        motifLine_ = item.line;
        motif_.id = attribute(item, "name");
        if (motif_.id.empty()) {
            motif_.id = attribute(item, "id");
        }
        if (motif_.id.empty()) {
            problems_.at(item.line, "a <motif> without a name or id");
        }
        motif_.name = attribute(item, "alt");
        width_ = -1;
        sites_ = reading_.defaultSites;
        const std::string width = attribute(item, "width");
        if (!width.empty() && (!parseWhole(width, width_) || width_ < 1)) {
            problems_.at(item.line, "width=" + quoted(width) + " is not a number of columns");
        }
        const std::string sites = attribute(item, "sites");
        if (!sites.empty() && (!parseCount(sites, sites_) || !(sites_ > 0.0))) {
            problems_.at(item.line, "sites=" + quoted(sites) + " is not a number of sites");
        }
    }

    void endValue() {
        const std::string_view text = trimmed(value_);
        double probability = 0.0;
        if (!parseCount(text, probability) || probability > 1.0) {
            problems_.at(valueLine_, notAProbability(text));
        }
        const auto base = static_cast<size_t>(base_);
        if (seen_[base]) {
            problems_.at(valueLine_,
                         "a second value of " + std::string(1, "ACGT"[base]) + " at one position");
        }
        seen_[base] = true;
        row_[base] = probability;
    }

    void endRow(size_t line) {
        for (size_t b = 0; b < 4; ++b) {
            if (!seen_[b]) {
                problems_.at(line, "a position of motif " + quoted(motif_.id) + " without " +
                                       std::string(1, "ACGT"[b]));
            }
        }
        std::array<double, 4> counts{};
        for (size_t b = 0; b < 4; ++b) {
            counts[b] = probabilityCount(row_[b], sites_);
        }
        motif_.columns.push_back(counts);
    }

    void endMotif() {
        if (width_ >= 0 && motif_.columns.size() != static_cast<size_t>(width_)) {
            problems_.at(motifLine_, "motif " + quoted(motif_.id) +
                                         ": width=" + std::to_string(width_) + " but " +
                                         std::to_string(motif_.columns.size()) +
                                         " positions of probabilities");
        }
        checkColumns(motif_, motifLine_, problems_);
        matrices_.push_back(std::move(motif_));
    }

    const MatrixReading& reading_;
    const Problems& problems_;
    std::vector<std::string> open_;
    std::map<std::string, int> letters_;  // letter id -> base (-1: not one)
    std::vector<CountMatrix> matrices_;
    CountMatrix motif_;
    size_t motifLine_ = 0;
    long width_ = -1;
    double sites_ = 0.0;
    std::array<double, 4> row_{};
    std::array<bool, 4> seen_{};
    int base_ = 0;
    size_t valueLine_ = 0;
    std::string value_;
};

}  // namespace

std::vector<CountMatrix> readMemeXmlMatrices(std::istream& in, const std::string& name,
                                             const MatrixReading& reading) {
    const Problems problems(name);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    XmlScanner scanner(text, problems);
    MemeXml meme(reading, problems);
    XmlItem item;
    size_t line = 1;
    while (scanner.next(item)) {
        line = item.line;
        switch (item.kind) {
            case XmlItem::Kind::Start:
                meme.start(item);
                if (scanner.takeEmptyEnd()) {
                    item.kind = XmlItem::Kind::End;
                    meme.end(item);
                }
                break;
            case XmlItem::Kind::End:
                meme.end(item);
                break;
            case XmlItem::Kind::Text:
                meme.text(item);
                break;
        }
    }
    return meme.finish(line);
}

}  // namespace xoprex
