#include "transfer/TagBuilder.h"

#include <initializer_list>
#include <utility>

#include "platform/Paths.h"
#include "transfer/detail/TagFile.h"

namespace velora {

namespace {

// The name goes in before the value is read, so a failed read leaves the row named.
void setName(TagTable& tags, int row, const char* name) {
    const std::string old = row < tags.rowCount() ? tags.row(row).value : std::string();
    tags.set(row, name, old);
}

void fillStrings(TagTable& tags, Registry::Key& key, int firstRow,
                 std::initializer_list<std::pair<const char*, const char*>> tagsAndValues) {
    int row = firstRow;
    for (const auto& [tag, valueName] : tagsAndValues) {
        setName(tags, row, tag);
        tags.set(row, tag, key.readString(valueName));
        ++row;
    }
}

}  // namespace

TagBuilder::TagBuilder(TagTable& tags, const Settings& settings, Registry& registry, const Environment& env,
                       const Clock& clock, const Locale& locale, EventLog& log, ExternalIpSource& externalIp)
    : tags_(tags), settings_(settings), registry_(registry), env_(env), clock_(clock), locale_(locale), log_(log),
      externalIp_(externalIp) {}

bool TagBuilder::BuildTagTable() {
    try {
        log_.write("Read Tags -> [sys_Date...");
        tags_.cutTo(kSystemTagRows);
        buildDateAndComputer();
        buildExternalIp();
        buildOsRows();
        buildHardwareRows();
        const bool read = appendTagFileRows();
        tags_.changed();
        return read;
    } catch (...) {
        // The grid shows what the build got to before it failed.
        tags_.changed();
        throw;
    }
}

void TagBuilder::buildDateAndComputer() {
    const DateTime now = clock_.now();
    tags_.set(0, "[SYS_DATE]", locale_.shortDate(now));
    tags_.set(1, "[SYS_TIME]", locale_.longTime(now));
    tags_.set(2, "[SYS_COMPUTERNAME]", env_.get("COMPUTERNAME"));
    tags_.set(3, "[SYS_OS]", env_.get("OS"));
}

void TagBuilder::buildExternalIp() {
    log_.write("Read Tags -> [sys_EXT_IP...");
    std::string ip = "xxx.xxx.xxx.xxx";
    if (settings_.cb_get_ext_ip) ip = externalIp_.LookupExternalIp();
    tags_.set(4, "[SYS_EXT_IP]", ip);
}

void TagBuilder::buildOsRows() {
    log_.write("Read Tags -> [sys_OS_...");
    Registry::Key key = registry_.openKeyReadOnly(kOsKey);
    fillStrings(tags_, key, 5,
                {{"[OS.ProductName]", "ProductName"},
                 {"[OS.CurrentVersion]", "CurrentVersion"},
                 {"[OS.CurrentType]", "CurrentType"},
                 {"[OS.CurrentBuildNumber]", "CurrentBuildNumber"},
                 {"[OS.CSDVersion]", "CSDVersion"}});
    key.close();
}

void TagBuilder::buildHardwareRows() {
    log_.write("Read Tags -> [sys_HW_...");
    Registry::Key key = registry_.openKeyReadOnly(kCpuKey);
    fillStrings(tags_, key, 10, {{"[HW.Processor.NameString]", "ProcessorNameString"}});
    setName(tags_, 11, "[HW.Processor.MHz]");
    // Here the key describes the machine rather than holding stored values: many ARM
    // boards and virtual machines report no clock speed at all, and that must give an
    // empty tag, not a read error that would end every run. A value of the wrong type
    // is still a read error.
    const bool mhzKnown = key.valueExists("~MHz");
    tags_.set(11, "[HW.Processor.MHz]", mhzKnown ? std::to_string(key.readInteger("~MHz")) : std::string());
    fillStrings(tags_, key, 12,
                {{"[HW.Processor.Identifier]", "Identifier"},
                 {"[HW.Processor.VendorIdentifier]", "VendorIdentifier"}});
    key.close();
}

bool TagBuilder::appendTagFileRows() {
    tagFileFailed_ = false;
    const std::string name = settings_.E_tags;
    if (!settings_.cb_tag_datei || name.empty()) return false;
    log_.write("Lese Tags Datei : " + name);
    const TagFileContent file = readTagFile(paths::resolveIn(env_.homeFolder(), name), env_.userId());
    if (file.outcome != TagFileContent::Read) {
        tagFileFailed_ = true;
        if (file.outcome == TagFileContent::Missing) {
            log_.write("ERROR Datei nicht gefunden ! " + name);
        } else if (file.outcome == TagFileContent::Refused) {
            // As ssh treats a configuration file others can write: not one line of it
            // is used, so none of its values can name a file for us to send.
            log_.write("ERROR Datei abgelehnt ! " + name + " : " + file.why);
        } else {
            log_.write("ERROR Datei nicht lesbar ! " + name + " : " + file.why);
        }
        return false;
    }
    for (auto& row : parseTagFile(file.bytes)) tags_.append(std::move(row.name), std::move(row.value));
    return true;
}

}  // namespace velora
