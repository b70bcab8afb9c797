// Renders each window in a typical state to PNG files, for the README:
// pell-screenshots.exe OUTPUT_FOLDER, under Wine on a display (scripts/screenshots.sh).
#include "client/client_role.h"
#include "client/client_window.h"
#include "diag/role.h"
#include "platform/windows/text.h"
#include "screenshots/scene.h"
#include "server/server_controls.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "win32_backend.h"
#include "client/client_window_layout.h"
#include "server/server_window_layout.h"

#include <wincodec.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Lets the window thread draw what it was asked to.
void settle() {
    for (int round = 0; round < 20; ++round) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
}

template <typename T>
void release(T* object) {
    if (object) object->Release();
}

// The window's inside as the screen shows it (as the Linux pictures, without the frame that the
// system draws), into a PNG file.
bool save(HWND window, const std::string& path) {
    settle();
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);
    IWICImagingFactory* factory = nullptr;
    IWICBitmap* bitmap = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    bool saved = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_PPV_ARGS(&factory))) &&
                 SUCCEEDED(factory->CreateBitmapFromHBITMAP(picture, nullptr, WICBitmapIgnoreAlpha,
                                                            &bitmap)) &&
                 SUCCEEDED(factory->CreateStream(&stream)) &&
                 SUCCEEDED(stream->InitializeFromFilename(widen(path).c_str(), GENERIC_WRITE)) &&
                 SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
                 SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
                 SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
                 SUCCEEDED(frame->Initialize(nullptr)) &&
                 SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
                 SUCCEEDED(frame->SetPixelFormat(&format)) &&
                 SUCCEEDED(frame->WriteSource(bitmap, nullptr)) && SUCCEEDED(frame->Commit()) &&
                 SUCCEEDED(encoder->Commit());
    release(frame);
    release(encoder);
    release(stream);
    release(bitmap);
    release(factory);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!saved) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pell-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    std::string out = std::string(argv[1]) + "\\";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    scene_store_settings(narrow(temp) + "tftp", "C:\\Users\\me\\firmware.bin");
    bool saved = true;

    role_install(&server_role);
    HWND server = win32_backend_install(server_window_layout(),
                                        {{tftps_controls::IDD_ACCESS_LISTS, access_dialog_layout()}},
                                        {server_command, server_window_close});
    ShowWindow(server, SW_SHOWNORMAL);
    server_window_open();
    scene_server_serving();
    saved &= save(server, out + "server-window-windows.png");
    HWND access = FindWindowW(L"TFTPIPS", nullptr);
    scene_access_lists();
    ShowWindow(access, SW_SHOWNORMAL);
    saved &= save(access, out + "access-dialog-windows.png");
    ShowWindow(access, SW_HIDE);
    scene_server_stopped();
    ShowWindow(server, SW_HIDE);

    role_install(&client_role);
    HWND client = win32_backend_install(client_window_layout(), {},
                                        {client_command, [] { client_window_close(); }});
    ShowWindow(client, SW_SHOWNORMAL);
    client_window_open();
    scene_client_finished();
    saved &= save(client, out + "client-window-windows.png");
    std::_Exit(saved ? 0 : 1);
}
