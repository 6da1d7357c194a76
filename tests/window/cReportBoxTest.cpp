#include "window/cReportBox.h"
#include "tests/support/TestPc.h"

// A new report goes below the last one wherever the user left the caret or a selection, and stays in view.
TEST(cReportBoxTest, AppendsAtTheEndWhateverIsSelectedAndReplaceTakesTheWholeText)
{
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE, 0, 0, 99, 99, nullptr, nullptr,
                                  nullptr, nullptr);
    const cAtEnd destroy{[edit] { ::DestroyWindow(edit); }};
    cReportBox box;
    box.Attach(edit);
    const auto shown = [edit] {
        DWORD from = 0, to = 0;
        ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        return WindowText(edit) + L"|" + std::to_wstring(from) + L"-" + std::to_wstring(to);
    };
    for (const auto& [before, from, to] :
         {std::tuple{L"", 0, 0}, {L"古い\r\n報告", 0, 0}, {L"古い\r\n報告", 1, 5}, {L"古い\r\n報告", 0, -1}})
    {
        ::SetWindowTextW(edit, before);
        ::SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(from), to);
        box.Append(L"新");
        EXPECT_EQ(*before ? L"古い\r\n報告\r\n新|9-9" : L"新|1-1", shown()) << from << "-" << to;
    }
    box.Replace(L"置換");
    EXPECT_EQ(L"置換|2-2", shown());
}
