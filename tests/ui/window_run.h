#pragma once

// The program with its window, started in the test's own process on the
// virtual module, with a recording prompter and settings in memory.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/memory_settings_store.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"
#include "sim/simulated_line.h"
#include "sim/simulated_module.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/window_session.h"
#include "ui/tree/config_tree_view.h"

namespace zep8::testing {

using Row = CTreeListCtrl::Row;

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// One run of the program with its window, in this process.
struct WindowRun {
    MemorySettingsStore store;
    RecordingPrompter prompter;
    std::ostringstream out, err;
    RunEnvironment env{out, err, store, ""};
    std::unique_ptr<RunContext> run;
    std::unique_ptr<WindowSession> session;

    bool Start(const std::vector<std::string>& args) {
        processState().reset();
        run = std::make_unique<RunContext>(ParseCommandLine(args), env);
        if (run->Prepare() != kRunGoesOn) return false;
        session = std::make_unique<WindowSession>(*run, prompter);
        if (!session->Start()) return false;
        session->document().device().SetFinishHold(std::chrono::milliseconds(0));
        return true;
    }
    ~WindowRun() {
        session.reset();
        run.reset();
    }
    CMainFrame& frame() { return session->frame(); }
    CTreeListCtrl& tree() { return frame().view().GetTreeCtrl(); }
    Document& document() { return session->document(); }
    sim::VirtualModule& module() { return run->simulated->module(); }
    Row RowOf(const void* object) { return frame().view().RowOf(object); }
    QString Cell(const Parameter& p, int column) { return tree().GetCellText(RowOf(&p), column); }

    // Types `text` into the value cell of `p` and presses Enter, or picks it
    // from the list and presses Tab.
    void Type(Parameter& p, const QString& text) {
        Row row = RowOf(&p);
        QVERIFY(row);
        for (Row up = row->parent(); up; up = up->parent()) tree().expandItem(up);
        tree().setCurrentItem(row);
        QVERIFY(tree().BeginEdit(row, 2));
        if (auto* combo = qobject_cast<QComboBox*>(tree().OpenEditor())) {
            combo->setCurrentIndex(combo->findText(text));
            QTest::keyClick(combo, Qt::Key_Tab);
            QTRY_VERIFY(!tree().OpenEditor());
            return;
        }
        auto* edit = qobject_cast<QLineEdit*>(tree().OpenEditor());
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_VERIFY(!tree().OpenEditor());
    }
    RecordingPrompter::Message LastMessage() { return prompter.messages().back(); }
};

}  // namespace zep8::testing
