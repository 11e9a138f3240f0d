// Pages for exercising the framework and the dialog model on the real
// templates, recording what the framework calls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/framework.h"
#include "dialog_model/sheet_model.h"
#include "res/resource.h"

namespace test {

class RecordingPage : public ui::CPropertyPage {
 public:
  RecordingPage(unsigned templateId, std::string name, std::vector<std::string>& log)
      : ui::CPropertyPage(templateId), m_name(std::move(name)), m_log(&log) {}

  ui::BOOL OnInitDialog() override {
    m_log->push_back(m_name + ".init");
    return ui::CPropertyPage::OnInitDialog();
  }
  ui::BOOL OnSetActive() override {
    m_log->push_back(m_name + ".active");
    return ui::TRUE;
  }
  void OnOK() override { m_log->push_back(m_name + ".ok"); }
  // Refuses the next `refusals` OKs, as a page whose save failed does.
  ui::BOOL OnApply() override {
    if (refusals == 0) return ui::CPropertyPage::OnApply();
    --refusals;
    m_log->push_back(m_name + ".refuse");
    return ui::FALSE;
  }
  int refusals = 0;

  void OnGlide() { m_log->push_back(m_name + ".glide"); }
  void OnDirect3D() { m_log->push_back(m_name + ".direct3d"); }
  void OnDevice() { m_log->push_back(m_name + ".device"); }
  void OnMipHigh() { m_log->push_back(m_name + ".high"); }

  DECLARE_MESSAGE_MAP()

 private:
  std::string m_name;
  std::vector<std::string>* m_log;
};

class RecordingSheet : public ui::CPropertySheet {
 public:
  explicit RecordingSheet(std::vector<std::string>& log)
      : ui::CPropertySheet("Test Sheet", nullptr, 0),
        first(res::IDD_HARDWARE, "hw", log),
        second(res::IDD_AUDIO, "audio", log),
        m_log(&log) {
    AddPage(&first);
    AddPage(&second);
    m_psh.dwFlags = (m_psh.dwFlags & ~ui::PSH_HASHELP) | ui::PSH_NOAPPLYNOW;
  }
  ui::BOOL OnInitDialog() override {
    m_log->push_back("sheet.init");
    const ui::BOOL result = ui::CPropertySheet::OnInitDialog();
    if (ui::CWnd* help = GetDlgItem(ui::IDHELP)) help->ShowWindow(false);
    m_log->push_back("sheet.init.done");
    return result;
  }

  RecordingPage first;
  RecordingPage second;

 private:
  std::vector<std::string>* m_log;
};

// A user that carries out a fixed list of actions, answers boxes with OK,
// and lets a test look at the sheet before each action.
class ListUser : public dm::UserAgent {
 public:
  std::vector<dm::Action> actions;
  std::function<void(dm::SheetModel&, std::size_t)> beforeAction;
  std::vector<dm::MessageBoxInfo> boxes;

  std::optional<dm::Action> NextAction(dm::SheetModel& sheet) override {
    if (beforeAction) beforeAction(sheet, m_next);
    if (m_next >= actions.size()) return std::nullopt;
    return actions[m_next++];
  }
  int ShowMessageBox(dm::SheetModel&, const dm::MessageBoxInfo& box) override {
    boxes.push_back(box);
    return ui::IDOK;
  }

 private:
  std::size_t m_next = 0;
};

inline dm::Action Click(int id) { return {dm::Action::Kind::Click, id, 0, {}}; }
inline dm::Action Select(int id, int index) { return {dm::Action::Kind::Select, id, index, {}}; }
inline dm::Action Tab(int index) { return {dm::Action::Kind::Tab, 0, index, {}}; }
inline dm::Action Ok() { return {dm::Action::Kind::Ok, 0, 0, {}}; }
inline dm::Action Cancel() { return {dm::Action::Kind::Cancel, 0, 0, {}}; }

}  // namespace test
