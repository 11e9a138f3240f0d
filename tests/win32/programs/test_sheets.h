// Sheets and pages for the Windows layer's tests. They are written against
// the framework only, in a file without <windows.h> (whose macros take the
// framework's constant names), and each is run on the real dialog manager
// and on the dialog model.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/framework.h"

namespace wintest {

// Each runs a sheet modally and prints what its pages logged, "log ..." a
// line, on `out`; the result is the exit code.
//
// The recording sheet of the framework tests.
int RecordingSystem(std::FILE* out);
// The same, whose first page refuses the first OK.
int RefusingSystem(std::FILE* out);
// A 3D page that fills and probes its combo boxes and buttons from its own
// code, and an audio page that inserts into its sorted combo box.
int ProbeSystem(std::FILE* out);
// A page whose mip-map buttons and OK hook raise the warning boxes; gives 0
// when the sheet closed with OK.
int BoxSystem(std::FILE* out);
// A page that shows message 103 while it initialises and ends the process
// with -1, as the 3D page does on a machine without any 3D device.
int GiveUpSystem(std::FILE* out);

// A sheet with both pages of the application that hands each page to
// `inspectPage` when it initialises.
class InspectingSheet : public ui::CPropertySheet {
 public:
  explicit InspectingSheet(std::function<void(ui::CPropertyPage&)> inspectPage);
  ~InspectingSheet() override;

 private:
  class Page;
  std::vector<Page*> m_pages;
};

}  // namespace wintest
