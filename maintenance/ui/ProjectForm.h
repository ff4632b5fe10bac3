#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "catalog/Records.h"
#include "framework/Services.h"
#include "maintenance/Schedule.h"
#include "maintenance/ui/FormParts.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;
class QSpinBox;
class QTableView;

namespace quillet {

class ComponentListModel;

// "Update Project": a normal project and the list of its components.
class ProjectForm : public QDialog {
    Q_OBJECT
public:
    ProjectForm(const Services& services, FormRequest request, const Project& record,
                const std::vector<std::string>& prefixesInUse, QWidget* parent = nullptr);

    FormResult result() const { return result_; }
    // What was stored (valid when completed).
    const Project& record() const { return record_; }

    void accept() override;
    void reject() override;

private:
    void nameAccepted();
    bool prefixAccepted();
    void destinationAccepted();
    void lookUpDestination();
    void runComponentForm(FormRequest request, bool copy);
    void refreshComponents();
    void preview();
    void contextMenu(const QPoint& at);
    bool eventFilter(QObject* watched, QEvent* event) override;
    const Component* selectedComponent() const;
    // The Schedule group: its controls from a rule, and the rule they say (a failure names
    // the span that divides no day).
    void showSchedule(const ScheduleRule& rule);
    Result<ScheduleRule> typedSchedule() const;
    void scheduleKindChanged();
    // Writes or removes the saved project's timer when its rule or name changed.
    void applySchedule(const ScheduleRule& rule);

    const Services& services_;
    FormRequest request_;
    Project record_;
    FormResult result_ = FormResult::Cancelled;
    // The components as they were when the form opened: a cancel puts them back.
    std::vector<Component> originalComponents_;
    bool componentsChanged_ = false;

    QLineEdit* name_;
    QLineEdit* prefix_;
    QLineEdit* destination_;
    QSpinBox* maxBackups_;
    QPlainTextEdit* notes_;
    QTableView* list_;
    ComponentListModel* model_;
    std::unique_ptr<forms::FolderCheck> destinationCheck_;
    Scheduler scheduler_;
    ScheduleRule originalSchedule_;
    std::string originalName_;  // the -P name a timer of the project runs
    QComboBox* scheduleKind_;
    QTimeEdit* scheduleTime_;
    QComboBox* scheduleDay_;
    QLineEdit* scheduleSpan_;
    QLabel* scheduleNext_;
};

}  // namespace quillet
