// The report for machines, in the shape docs/doctor.md documents. Texts
// ("title", "summary", "note") are in the user's language; keys, ids,
// verdicts and values are not.
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "BuildConfig.h"
#include "common/StringTable.h"
#include "eventlog/ValidUtf8.h"
#include "tools/nerolin-tool/doctor/DoctorReport.h"

namespace nerolin::tool::doctor {
namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void Member(JsonWriter& writer, const char* name, const std::string& value)
{
    // Values come from files and tokens: whatever bytes they hold, the
    // document stays UTF-8.
    const std::string text = ValidUtf8(value);
    writer.Key(name);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

}  // namespace

std::string WriteJson(const DoctorReport& report)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("version");
    writer.Int(kJsonShapeVersion);
    Member(writer, "programVersion", build::kVersion);
    Member(writer, "language", UserInterfaceLanguage() == Language::Hungarian ? "hu" : "en");
    writer.Key("blocked");
    writer.Bool(report.Blocked());
    writer.Key("checks");
    writer.StartArray();
    for (const CheckResult& check : report.checks) {
        writer.StartObject();
        Member(writer, "id", check.id);
        Member(writer, "title", LoadString(check.titleId));
        Member(writer, "verdict", VerdictKey(check.verdict));
        writer.Key("blocks");
        writer.Bool(check.Blocks());
        Member(writer, "summary", check.summary);
        writer.Key("details");
        writer.StartArray();
        for (const Detail& detail : check.details) {
            writer.StartObject();
            Member(writer, "item", detail.item);
            Member(writer, "value", detail.value);
            if (detail.verdict) Member(writer, "verdict", VerdictKey(*detail.verdict));
            if (!detail.note.empty()) Member(writer, "note", detail.note);
            writer.EndObject();
        }
        writer.EndArray();
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

}  // namespace nerolin::tool::doctor
