#pragma once

// Making the fix a row of the report carries, and undoing it: asked first,
// checked against the machine right before the write, backed up, written in
// one step or not at all.

#include <optional>
#include <string>
#include <string_view>

#include "diagnosis/report.h"
#include "platform/backup_store.h"
#include "platform/file_replacer.h"
#include "platform/process_ender.h"
#include "platform/registry_writer.h"
#include "platform/system_inspection.h"
#include "platform/waiting.h"

namespace qm::repair {

inline constexpr std::string_view kRepairCaption = "修复…";
inline constexpr std::string_view kUndoCaption = "撤销…";
inline constexpr std::string_view kChangedText = "情况已变化，请重新诊断";
inline constexpr std::string_view kNeedsRightsText = "修复失败!需要管理员权限";

// What a repair writes through, and where it keeps what it replaces.
struct RepairPorts {
    RegistryWriter& registry;
    NetworkInspector& network;
    FileInspector& files;
    FileReplacer& replacer;
    ProcessEnder& processes;
    BackupStore& backups;
    Waiting& waiting;  // while an ended process goes, the window goes on
};

// The button's caption for the selected row: "撤销…" for the row of the last
// repair, else "修复…".
std::string_view ButtonCaption(const diagnosis::Row* selected);
// Whether the button takes a click: the selected row carries a fix, and
// nothing else runs.
bool ButtonEnabled(const diagnosis::Row* selected, bool busy);

// The question asked before: what changes from what to what, and where the
// backup goes.
std::string Question(const diagnosis::Fix& fix, std::string_view backupFolder);

enum class Result { Done, Changed, NeedsRights, Failed };

struct Outcome {
    Result result = Result::Failed;
    std::string message;  // the box's text unless Done
    // Done: the row that the next reports begin with ("本次修复"), carrying
    // the undo when there is one; nothing after an undo.
    std::optional<diagnosis::Row> repaired;
};

// The row of the last repair, which each later report begins with until it
// is undone or another repair is made.
class LastRepair {
public:
    void Record(const Outcome& outcome);
    std::vector<diagnosis::Row> Before(std::vector<diagnosis::Row> rows) const;

private:
    std::optional<diagnosis::Row> row_;
};

// Makes the fix (an Undo puts back what its repair changed). Nothing is
// changed unless the machine is still as the fix saw it.
Outcome Apply(const diagnosis::Fix& fix, RepairPorts& ports);

}  // namespace qm::repair
