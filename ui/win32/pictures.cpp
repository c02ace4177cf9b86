#include "ui/win32/pictures.h"

#include <wincodec.h>

#include <string>

#include "ui/text.h"

namespace ui::win32 {

namespace {

unique_bitmap DecodePng(const std::string& name, int& width, int& height) {
  HMODULE module = GetModuleHandleW(nullptr);
  const std::wstring wide_name = Wide(name);
  HRSRC found = FindResourceW(module, wide_name.c_str(), L"PNG");
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, found);
  if (!bytes || size == 0) return {};

  com_ptr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(factory.put()))))
    return {};
  com_ptr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), size)))
    return {};
  com_ptr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
    return {};
  com_ptr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.put()))) return {};
  com_ptr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return {};
  UINT w = 0, h = 0;
  if (FAILED(converter->GetSize(&w, &h)) || w == 0 || h == 0) return {};

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(w);
  info.bmiHeader.biHeight = -static_cast<LONG>(h);  // top-down, as WIC delivers rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  unique_bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits)))) return {};
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return bitmap;
}

}  // namespace

LoadedPicture::LoadedPicture(const Picture& picture) {
  if (picture.kind == Picture::Kind::Png) {
    bitmap_ = DecodePng(picture.resource, width_, height_);
  } else if (picture.kind == Picture::Kind::Icon) {
    const std::wstring name = Wide(picture.resource);
    icon_.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), name.c_str(), IMAGE_ICON, picture.width, picture.height, LR_DEFAULTCOLOR)));
    width_ = picture.width;
    height_ = picture.height;
  }
}

void LoadedPicture::Draw(HDC dc, int x, int y) const {
  if (icon_) {
    DrawIconEx(dc, x, y, icon_.get(), width_, height_, 0, nullptr, DI_NORMAL);
    return;
  }
  if (!bitmap_) return;
  unique_memory_dc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  Selection picture(memory.get(), bitmap_.get());
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  // gdi32's own entry, which msimg32's AlphaBlend only forwards to: msimg32.dll is no KnownDLL,
  // and the setup imports none but those.
  GdiAlphaBlend(dc, x, y, width_, height_, memory.get(), 0, 0, width_, height_, blend);
}

}  // namespace ui::win32
