#include <windows.h>
// wincodec.h needs windows.h first
#include <wincodec.h>

#include <cstdio>
#include <utility>

#include "tools/kelpie-render/png_encode.h"

namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (pointer_ != nullptr) {
      pointer_->Release();
    }
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }
  T** out() { return &pointer_; }

 private:
  T* pointer_ = nullptr;
};

// COM for this thread, for as long as the encoding takes.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) {
      CoUninitialize();
    }
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool Ready() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// No row filter: measured smallest and fastest for these pictures (the rows
// repeat), as for the libpng build.
HRESULT SetFilter(IPropertyBag2* options) {
  PROPBAG2 option{};
  wchar_t name[] = L"FilterOption";
  option.pstrName = name;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_UI1;
  value.bVal = WICPngFilterNone;
  return options->Write(1, &option, &value);
}

// R, G, B rows as the B, G, R rows WIC's PNG encoder takes.
std::vector<unsigned char> SwapToBgr(const std::vector<unsigned char>& rgb) {
  std::vector<unsigned char> bgr(rgb);
  for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
    std::swap(bgr[i], bgr[i + 2]);
  }
  return bgr;
}

HRESULT EncodeFrame(IWICImagingFactory* factory, IWICBitmapEncoder* encoder,
                    const PngPicture& picture) {
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  HRESULT result = encoder->CreateNewFrame(frame.out(), options.out());
  if (SUCCEEDED(result)) {
    result = SetFilter(options.get());
  }
  if (SUCCEEDED(result)) {
    result = frame->Initialize(options.get());
  }
  if (SUCCEEDED(result)) {
    result = frame->SetSize(static_cast<UINT>(picture.width), static_cast<UINT>(picture.height));
  }
  const bool indexed = !picture.palette.empty();
  const WICPixelFormatGUID wanted =
      indexed ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat24bppBGR;
  WICPixelFormatGUID format = wanted;
  if (SUCCEEDED(result)) {
    result = frame->SetPixelFormat(&format);
  }
  if (SUCCEEDED(result) && !IsEqualGUID(format, wanted)) {
    result = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  }
  Com<IWICPalette> palette;
  if (SUCCEEDED(result) && indexed) {
    std::vector<WICColor> colours;
    for (const uint32_t rgb : picture.palette) {
      colours.push_back(0xFF000000u | rgb);
    }
    result = factory->CreatePalette(palette.out());
    if (SUCCEEDED(result)) {
      result = palette->InitializeCustom(colours.data(), static_cast<UINT>(colours.size()));
    }
    if (SUCCEEDED(result)) {
      result = frame->SetPalette(palette.get());
    }
  }
  if (SUCCEEDED(result)) {
    const UINT stride = static_cast<UINT>(picture.width) * (indexed ? 1 : 3);
    std::vector<unsigned char> pixels = indexed ? picture.pixels : SwapToBgr(picture.pixels);
    result = frame->WritePixels(static_cast<UINT>(picture.height), stride,
                                static_cast<UINT>(pixels.size()), pixels.data());
  }
  if (SUCCEEDED(result)) {
    result = frame->Commit();
  }
  return result;
}

// The stream's bytes, from its start.
HRESULT CopyStream(IStream* stream, std::vector<unsigned char>* out) {
  STATSTG stat{};
  HRESULT result = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(result)) {
    return result;
  }
  out->resize(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  result = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  if (SUCCEEDED(result)) {
    result = stream->Read(out->data(), static_cast<ULONG>(out->size()), &read);
  }
  return SUCCEEDED(result) && read != out->size() ? E_FAIL : result;
}

}  // namespace

bool PngEncode(const PngPicture& picture, std::vector<unsigned char>* out, std::string* error) {
  const size_t stride = static_cast<size_t>(picture.width) * (picture.palette.empty() ? 3 : 1);
  if (picture.width <= 0 || picture.height <= 0 || picture.palette.size() > 256 ||
      picture.pixels.size() != stride * static_cast<size_t>(picture.height)) {
    *error = "the picture cannot be stored as a PNG";
    return false;
  }
  const ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  HRESULT result = com.Ready() ? S_OK : E_FAIL;
  if (SUCCEEDED(result)) {
    result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
  }
  if (SUCCEEDED(result)) {
    result = CreateStreamOnHGlobal(nullptr, TRUE, stream.out());
  }
  if (SUCCEEDED(result)) {
    result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
  }
  if (SUCCEEDED(result)) {
    result = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  }
  if (SUCCEEDED(result)) {
    result = EncodeFrame(factory.get(), encoder.get(), picture);
  }
  if (SUCCEEDED(result)) {
    result = encoder->Commit();
  }
  if (SUCCEEDED(result)) {
    result = CopyStream(stream.get(), out);
  }
  if (FAILED(result)) {
    char text[64];
    std::snprintf(text, sizeof text, "the PNG could not be encoded (error 0x%08lX)",
                  static_cast<unsigned long>(result));
    *error = text;
    return false;
  }
  return true;
}
