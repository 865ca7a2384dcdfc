#include "app/updater/Appcast.h"

#include <charconv>
#include <vector>

#include <QXmlStreamReader>

namespace nerolin {
namespace {

constexpr char kSparkleNamespace[] = "http://www.andymatuschak.org/xml-namespaces/sparkle";

bool IsSparkle(const QXmlStreamReader& xml, const char* name)
{
    return xml.namespaceUri() == QLatin1String(kSparkleNamespace) && xml.name() == QLatin1String(name);
}

bool IsPlain(const QXmlStreamReader& xml, const char* name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == QLatin1String(name);
}

std::string Text(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed().toStdString();
}

std::string SparkleAttribute(const QXmlStreamReader& xml, const char* name)
{
    return xml.attributes()
        .value(QLatin1String(kSparkleNamespace), QLatin1String(name))
        .toString()
        .trimmed()
        .toStdString();
}

std::uint64_t Length(const QXmlStreamReader& xml)
{
    const std::string text = xml.attributes().value(QLatin1String("length")).toString().trimmed().toStdString();
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// One <item>; nullopt when it offers nothing for this system.
std::optional<AppcastItem> ReadItem(QXmlStreamReader& xml, std::string_view system)
{
    AppcastItem item;
    std::string version, shortVersion, link, os;
    bool hasEnclosure = false;
    while (xml.readNextStartElement()) {
        if (IsPlain(xml, "title")) {
            item.title = Text(xml);
        } else if (IsPlain(xml, "link")) {
            link = Text(xml);
        } else if (IsSparkle(xml, "releaseNotesLink")) {
            item.releaseNotesUrl = Text(xml);
        } else if (IsSparkle(xml, "version")) {
            version = Text(xml);
        } else if (IsSparkle(xml, "shortVersionString")) {
            shortVersion = Text(xml);
        } else if (IsPlain(xml, "enclosure") && !hasEnclosure) {
            hasEnclosure = true;
            item.enclosureUrl = xml.attributes().value(QLatin1String("url")).toString().trimmed().toStdString();
            item.enclosureLength = Length(xml);
            item.edSignature = SparkleAttribute(xml, "edSignature");
            os = SparkleAttribute(xml, "os");
            if (version.empty()) version = SparkleAttribute(xml, "version");
            if (shortVersion.empty()) shortVersion = SparkleAttribute(xml, "shortVersionString");
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    if (!hasEnclosure || item.enclosureUrl.empty() || (!os.empty() && os != system)) {
        return std::nullopt;
    }
    item.version = version.empty() ? shortVersion : version;
    item.displayVersion = shortVersion.empty() ? item.version : shortVersion;
    if (item.version.empty()) {
        return std::nullopt;
    }
    if (item.releaseNotesUrl.empty()) {
        item.releaseNotesUrl = link;
    }
    return item;
}

enum class PartType { Number, Text, Separator };

struct Part {
    PartType type;
    std::string text;
};

PartType TypeOf(char c)
{
    if (c >= '0' && c <= '9') return PartType::Number;
    if (c == '.' || c == ' ' || c == '\t') return PartType::Separator;
    return PartType::Text;
}

std::vector<Part> Split(const std::string& version)
{
    std::vector<Part> parts;
    for (char c : version) {
        PartType type = TypeOf(c);
        // Every separator is a part of its own; digits and text form runs.
        if (!parts.empty() && parts.back().type == type && type != PartType::Separator) {
            parts.back().text += c;
        } else {
            parts.push_back({type, std::string(1, c)});
        }
    }
    return parts;
}

int CompareNumbers(std::string a, std::string b)
{
    // As texts without leading zeros, so no length of digits overflows.
    a.erase(0, std::min(a.find_first_not_of('0'), a.size()));
    b.erase(0, std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

int Rank(PartType type)
{
    // Between parts of different kinds a number is newest and text oldest.
    switch (type) {
    case PartType::Number: return 2;
    case PartType::Separator: return 1;
    case PartType::Text: return 0;
    }
    return 0;
}

// What the rest of the longer version means: newer when it holds a number
// other than zero, older when it starts with text ("b1"), else the same.
int CompareRest(const std::vector<Part>& parts, std::size_t from)
{
    for (std::size_t i = from; i < parts.size(); ++i) {
        if (parts[i].type == PartType::Text) return -1;
        if (parts[i].type == PartType::Number && CompareNumbers(parts[i].text, "0") != 0) return 1;
    }
    return 0;
}

}  // namespace

std::optional<Appcast> ReadAppcast(const std::string& text, std::string_view system)
{
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    if (!xml.readNextStartElement() || !IsPlain(xml, "rss")) {
        return std::nullopt;
    }
    Appcast appcast;
    std::optional<AppcastItem>& newest = appcast.newest;
    while (xml.readNextStartElement()) {
        if (!IsPlain(xml, "channel")) {
            xml.skipCurrentElement();
            continue;
        }
        while (xml.readNextStartElement()) {
            if (!IsPlain(xml, "item")) {
                xml.skipCurrentElement();
                continue;
            }
            auto item = ReadItem(xml, system);
            if (item && (!newest || CompareVersions(item->version, newest->version) > 0)) {
                newest = std::move(item);
            }
        }
    }
    if (xml.hasError()) {
        return std::nullopt;
    }
    return appcast;
}

int CompareVersions(const std::string& a, const std::string& b)
{
    const auto partsA = Split(a);
    const auto partsB = Split(b);
    const std::size_t common = std::min(partsA.size(), partsB.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Part& x = partsA[i];
        const Part& y = partsB[i];
        if (x.type != y.type) {
            return Rank(x.type) < Rank(y.type) ? -1 : 1;
        }
        int order = 0;
        if (x.type == PartType::Number) {
            order = CompareNumbers(x.text, y.text);
        } else if (x.type == PartType::Text) {
            order = x.text.compare(y.text) < 0 ? -1 : (x.text == y.text ? 0 : 1);
        }
        if (order != 0) return order;
    }
    if (partsA.size() > common) return CompareRest(partsA, common);
    if (partsB.size() > common) return -CompareRest(partsB, common);
    return 0;
}

}  // namespace nerolin
