#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/KeyedStore.h"

namespace quillet {

class ProjectStore;
class ComponentStore;
class MaskStore;
class MaskThemeStore;

// The record-file manager of the catalog: Project.tps, Comps.tps, Masks.tps and
// MskTheme.Tps in the data folder, opened together on one connection so that a project
// and its components change in one transaction. Created at start-up; the files are
// opened by the procedures that use them and closed when the last of them closes
// (open() and close() are counted).
class Catalog {
public:
    explicit Catalog(std::string dataFolder, int busyTimeoutMs = RecordDatabase::DefaultBusyTimeoutMs);

    // Opens (creating missing files empty) on the first call; later calls only count.
    // A file that cannot be opened is named in the message and left untouched. A missing or
    // empty Project.tps beside a Comps.tps that still holds components is reported and
    // nothing is created.
    Status open();
    // Closes the files when the last user closes them.
    void close();
    bool isOpen() const { return db_.isOpen(); }

    RecordDatabase& database() { return db_; }

    // Each call gives a new, independent handle (the aliases A_P and A_C are such second
    // handles). The initial keys are K_SysID, K_Path, K_Mask and K_Name.
    ProjectStore projects();
    ComponentStore components();
    MaskStore masks();
    MaskThemeStore themes();

    // Deletes the project and all its components in one transaction: if any step fails,
    // nothing is deleted and the message says why.
    Status deleteProject(std::int32_t sysId);

    // The pick-list entry for a component's mask, if there is one (a lookup only: masks
    // and components never constrain each other).
    Result<std::optional<Mask>> maskOf(const Component& component);

private:
    Status checkProjectsBesideComponents();

    RecordDatabase db_;
    int users_ = 0;
};

class ProjectStore : public KeyedStore<Project> {
public:
    explicit ProjectStore(RecordDatabase& db) : KeyedStore(db, catalog::Project, catalog::K_SysID), db_(db) {}

    // A new record, not yet stored: cleared, with the next SYSID and MAXBACKUPS 20.
    Result<Project> prime();
    // Stores a new project; a SYSID of 0 is given the next number first.
    Result<Project> insert(const Project& project);
    // Stores a change; SYSID never changes.
    Status update(const Project& project);

    // Reads by the key named; the handle keeps its own key and is positioned on the
    // record found.
    Result<Row> bySysId(std::int32_t sysId);
    // The first project in name order with this name (any case).
    Result<Row> byName(const std::string& name);
    Result<Row> byPrefix(const std::string& prefix);

private:
    RecordDatabase& db_;
};

class ComponentStore : public KeyedStore<Component> {
public:
    explicit ComponentStore(RecordDatabase& db) : KeyedStore(db, catalog::Comps, catalog::K_Path) {}

    // A project's components in folder order (K_Path), or include rules before exclude
    // rules (K_Exclude).
    Result<std::vector<Component>> ofProject(std::int32_t sysId, std::string_view keyName = catalog::K_Path);
};

class MaskStore : public KeyedStore<Mask> {
public:
    explicit MaskStore(RecordDatabase& db) : KeyedStore(db, catalog::Masks, catalog::K_Mask) {}
};

class MaskThemeStore : public KeyedStore<MaskTheme> {
public:
    explicit MaskThemeStore(RecordDatabase& db) : KeyedStore(db, catalog::MskTheme, catalog::K_Name), db_(db) {}

    // A new record, not yet stored: cleared, with the next SYSID.
    Result<MaskTheme> prime();
    // Stores a new theme; a SYSID of 0 is given the next number first.
    Result<MaskTheme> insert(const MaskTheme& theme);
    Result<Row> byName(const std::string& name);

private:
    RecordDatabase& db_;
};

}  // namespace quillet
