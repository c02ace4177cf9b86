// Every page of the real form under Wine: each text is whole inside its control and each control
// inside its page. With QLR_PAGE_SHOTS naming a folder, a picture of each page is saved there.
#include <windows.h>
#include <gtest/gtest.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "app/setup_form.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "tests/platform/recording_boxes.h"
#include "ui/backend.h"
#include "ui/text.h"
#include "ui/win32/handles.h"
#include "ui/win32/win32_backend.h"

namespace {

using ui::win32::com_ptr;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return CharLowerW(name);
}

BOOL CALLBACK Collect(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

// The size the window's text needs in its own font: wrapped at the window's width for a label,
// on one line beside the box for a radio button or check box.
SIZE Needed(HWND hwnd, bool label) {
  wchar_t text[1024] = {};
  GetWindowTextW(hwnd, text, 1024);
  RECT client{};
  GetClientRect(hwnd, &client);
  ui::win32::WindowDC dc(hwnd);
  ui::win32::Selection font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
  RECT r{0, 0, label ? client.right : 0, 0};
  DrawTextW(dc.get(), text, -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (label ? DT_WORDBREAK : DT_SINGLELINE));
  return SIZE{r.right + (label ? 0 : 16), r.bottom};
}

void ExpectWholeTexts(HWND form, const std::string& page) {
  std::vector<HWND> windows;
  EnumChildWindows(form, Collect, reinterpret_cast<LPARAM>(&windows));
  int checked = 0;
  for (HWND hwnd : windows) {
    if (!IsWindowVisible(hwnd)) continue;
    const std::wstring cls = ClassOf(hwnd);
    const LONG type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    const bool label = cls == L"static";
    const bool option = cls == L"button" && (type == BS_RADIOBUTTON || type == BS_CHECKBOX);
    if (!label && !option) continue;
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    const std::string name = page + ": " + ui::Utf8(text);
    RECT client{}, inside{}, parent{};
    GetClientRect(hwnd, &client);
    const SIZE needed = Needed(hwnd, label);
    EXPECT_LE(needed.cx, client.right) << name;
    EXPECT_LE(needed.cy, client.bottom) << name;
    GetWindowRect(hwnd, &inside);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&inside), 2);
    GetClientRect(GetParent(hwnd), &parent);
    EXPECT_TRUE(inside.left >= 0 && inside.top >= 0 && inside.right <= parent.right && inside.bottom <= parent.bottom)
        << name;
    ++checked;
  }
  EXPECT_GT(checked, 0) << page;
}

// The form's client area as the screen shows it, into a PNG file.
void SaveShot(HWND form, const std::wstring& path) {
  RECT r{};
  GetClientRect(form, &r);
  MapWindowPoints(form, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  const int width = r.right - r.left, height = r.bottom - r.top;
  ui::win32::WindowDC screen(nullptr);
  ui::win32::unique_bitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
  {
    ui::win32::unique_memory_dc memory(CreateCompatibleDC(screen.get()));
    ui::win32::Selection target(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
  }

  com_ptr<IWICImagingFactory> factory;
  com_ptr<IWICBitmap> source;
  com_ptr<IWICStream> stream;
  com_ptr<IWICBitmapEncoder> encoder;
  com_ptr<IWICBitmapFrameEncode> frame;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))));
  ASSERT_TRUE(SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap.get(), nullptr, WICBitmapIgnoreAlpha, source.put())));
  ASSERT_TRUE(SUCCEEDED(factory->CreateStream(stream.put())));
  ASSERT_TRUE(SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)));
  ASSERT_TRUE(SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())));
  ASSERT_TRUE(SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)));
  ASSERT_TRUE(SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)));
  ASSERT_TRUE(SUCCEEDED(frame->Initialize(nullptr)));
  ASSERT_TRUE(SUCCEEDED(frame->WriteSource(source.get(), nullptr)));
  ASSERT_TRUE(SUCCEEDED(frame->Commit()));
  ASSERT_TRUE(SUCCEEDED(encoder->Commit()));
}

// Lets the pages paint before they are measured or pictured.
void Settle() {
  for (int i = 0; i < 20; ++i) {
    ui::ProcessMessages();
    Sleep(10);
  }
}

TEST(SetupPagesTest, EveryPageShowsItsTextsWhole) {
  RecordingBoxes boxes;
  platform::Platform& real = platform::Current();
  platform::Platform quiet{real.registry, real.files, real.resources, real.libraries, boxes,
                           real.codepages, real.clock, real.shell,     real.processes,
                           real.shell_links, real.firewall};
  platform::Platform* previous = platform::SetCurrent(&quiet);
  ui::win32::Win32Backend backend;
  ui::Backend* previous_backend = ui::SetBackend(&backend);
  {
    TFCaiDat form;
    form.Show();
    HWND hwnd = reinterpret_cast<HWND>(form.Handle());
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const char* shots = std::getenv("QLR_PAGE_SHOTS");
    if (shots) CreateDirectoryA(shots, nullptr);
    auto page = [&](const std::string& name) {
      Settle();
      ExpectWholeTexts(hwnd, name);
      if (shots) SaveShot(hwnd, ui::Wide(std::string(shots) + "\\" + name + ".png"));
    };
    for (int number = 0; number <= 5; ++number) {
      form.ShowPage(number);
      page("page" + std::to_string(number));
    }
    // The result page as the uninstall leaves it, the one result no run on this machine decides.
    form.rdo_ThaoDo.SetChecked(true);
    form.ShowPage(5);
    page("page5-uninstall");
    form.btn_TiepTucClick(form.btn_TiepTuc);
    EXPECT_EQ(form.FPage, 6);
    page("page6-uninstall");
  }
  ui::SetBackend(previous_backend);
  platform::SetCurrent(previous);
}

}  // namespace
