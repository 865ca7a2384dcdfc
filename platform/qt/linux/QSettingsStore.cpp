#include "platform/qt/QSettingsStore.h"

#include <unistd.h>

#include <memory>
#include <string>
#include <utility>

#include <QSettings>
#include <QStringList>

#include "platform/SettingsStore.h"
#include "platform/XdgDirectories.h"

namespace nerolin {
namespace {

QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string FromQt(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

class QSettingsFile : public SettingsFile {
public:
    // folder: made (private) before the first write is saved, so that
    // reading the settings leaves no trace on the machine.
    QSettingsFile(const std::string& path, bool atomicSync, std::string folder = {})
        : settings_(std::make_unique<QSettings>(ToQt(path), QSettings::IniFormat)),
          folder_(std::move(folder))
    {
        settings_->setAtomicSyncRequired(atomicSync);
    }
    ~QSettingsFile() override { MakeFolderForWrites(); }  // QSettings saves what is left as it goes

    std::optional<SettingValue> Read(const std::string& group, const std::string& name) const override
    {
        QVariant value = settings_->value(StoredName(group, name));
        switch (value.typeId()) {
        case QMetaType::QString: return FromQt(value.toString());
        case QMetaType::QStringList:
            // An unquoted comma makes the INI reader split the text; put it back.
            return FromQt(value.toStringList().join(QLatin1Char(',')));
        case QMetaType::QByteArray: {
            QByteArray data = value.toByteArray();
            return Bytes(data.begin(), data.end());
        }
        default: return std::nullopt;
        }
    }

    void Write(const std::string& group, const std::string& name, const SettingValue& value) override
    {
        written_ = true;
        if (const auto* text = std::get_if<std::string>(&value)) {
            settings_->setValue(StoredName(group, name), ToQt(*text));
        } else {
            const Bytes& data = std::get<Bytes>(value);
            settings_->setValue(StoredName(group, name), QByteArray(reinterpret_cast<const char*>(data.data()),
                                                                    static_cast<qsizetype>(data.size())));
        }
    }

    bool Sync() override
    {
        MakeFolderForWrites();
        settings_->sync();
        return settings_->status() == QSettings::NoError;
    }

    std::vector<std::pair<std::string, std::string>> Names() const override
    {
        std::vector<std::pair<std::string, std::string>> names;
        for (const QString& key : settings_->allKeys()) {
            const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
            if (slash < 0)
                names.emplace_back(std::string(), FromQt(key));
            else
                names.emplace_back(FromQt(key.left(slash)), FromQt(key.mid(slash + 1)));
        }
        return names;
    }

private:
    void MakeFolderForWrites()
    {
        if (written_ && !folder_.empty()) MakeDirectories(folder_, 0700);
    }

    // The key as the file spells it when it holds the name in another case.
    QString StoredName(const std::string& group, const std::string& name) const
    {
        QString wanted = ToQt(name);
        settings_->beginGroup(ToQt(group));
        const QStringList keys = settings_->childKeys();
        settings_->endGroup();
        QString found = wanted;
        if (!keys.contains(wanted)) {
            for (const QString& key : keys) {
                if (key.compare(wanted, Qt::CaseInsensitive) == 0) {
                    found = key;
                    break;
                }
            }
        }
        return group.empty() ? found : ToQt(group) + QLatin1Char('/') + found;
    }

    std::unique_ptr<QSettings> settings_;
    std::string folder_;
    bool written_ = false;
};

class QSettingsStore : public SettingsStore {
public:
    std::unique_ptr<SettingsFile> Open(Scope scope, SettingsAccess access) override
    {
        if (scope == Scope::User) {
            std::string path = UserSettingsPath();
            return std::make_unique<QSettingsFile>(path, true, path.substr(0, path.rfind('/')));
        }
        std::string path = MachineSettingsPath();
        const int mode = access == SettingsAccess::Read ? F_OK : R_OK | W_OK;
        if (::access(path.c_str(), mode) != 0) return nullptr;
        // The machine file lives in a folder the user cannot write to: it is
        // rewritten in place, where saving atomically would need a temporary
        // file next to it.
        return std::make_unique<QSettingsFile>(path, false);
    }
};

}  // namespace

std::string UserSettingsPath() { return ConfigHome() + "/Tavorel/Nerolin.conf"; }
std::string MachineSettingsPath() { return FirstConfigDirectory() + "/Tavorel/Nerolin.conf"; }

void InstallQSettingsStore() { InstallSettingsStore(std::make_shared<QSettingsStore>()); }

}  // namespace nerolin
