#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "ops/network/server_entry.h"

class QLineEdit;

namespace Ui {
class CServerDialog;
}

namespace zep8 {

class Prompter;

// "Сервер": a serial device server to keep in the port list: the kind of
// line, host and port, and over TLS how its certificate is trusted and the
// client's certificate and key. OK checks the entry (ServerEntry::Fault) and
// stays open with the reason when it will not do.
class CServerDialog : public QDialog {
    Q_OBJECT

  public:
    // `shown`: the server to edit; a new one when nothing.
    CServerDialog(QWidget* parent, Prompter& prompter,
                  const std::optional<ServerEntry>& shown = {});
    ~CServerDialog() override;

    // What the fields say (after OK, checked and in its form).
    ServerEntry entry() const { return entry_; }

    static constexpr std::string_view kCaption = "Сервер";

  private:
    ServerEntry FromFields() const;
    void ShowName();
    void ShowTls();
    void Choose(QLineEdit& field, const QString& title, const QString& filter);
    void Accept();

    std::unique_ptr<Ui::CServerDialog> ui_;
    Prompter& prompter_;
    ServerEntry entry_;
};

}  // namespace zep8
