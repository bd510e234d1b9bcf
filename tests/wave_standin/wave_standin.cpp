// A scripted wave-out device for the tests: the winmm functions intro.exe
// imports, loaded in its place (a copy of intro.exe with this winmm.dll
// beside it, run with WINEDLLOVERRIDES=winmm=n). It plays nothing. Instead
// each waveOutGetPosition hands out the next position of a script, so the
// real program draws frames at exactly chosen sample positions, and since it
// runs inside the program on the GL thread it can look at the GL state and
// read the window's image before the loop goes on.
//
// Set through the environment:
//   INTRO_WAVE_START   position of the first query (default 0)
//   INTRO_WAVE_STEP    advance per query (default 735 = 44,100 / 60)
//   INTRO_WAVE_FRAMES  N: the program draws N frames at the script's
//                      positions; at query N the window's image (frame N - 1,
//                      presented by the swap before) is saved, the position
//                      stays at that of frame N - 1 and the loop ends after
//                      that frame (see next_position); 0 (default) never stops
//   INTRO_WAVE_KEEP_RUNNING  1: save the image at query N, but post no quit
//                      and keep advancing
// A file "capture.now" in the working folder asks for the image at the next
// query (and is removed).
// Once the buffer has been written, positions stop at its end, as a device
// that has played it all.
//
// Files, in the working folder:
//   wave_standin.log   "open RATE CHANNELS BITS TAG", then per query
//                      "query Q position P viewport X Y W H texture W H"
//                      (the viewport in force and the size of the texture
//                      bound to unit 0), "capture W H" when the image is
//                      saved, "audio FIRST COUNT" when the buffer is saved
//   window.rgba        the image: W x H RGBA bytes, bottom row first
//   audio.f32          at reset (shutdown, context still current): sample
//                      frames FIRST .. FIRST + COUNT - 1 of the buffer, the
//                      span that the frames drawn have written ahead
//                      (position + 105 to position + 44,099 of each),
//                      as (left, right) 32-bit floats

#include <windows.h>
#include <mmsystem.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

namespace {

const int WRITE_AHEAD_FIRST = 105;
const int WRITE_AHEAD_LAST = 44099;

struct Standin {
    long start;
    long step;
    long stop_frames;
    long keep_running;
    long queries;
    long last_position;
    long lowest_position;
    long highest_position;
    WAVEHDR* header;
    bool audio_saved;
    std::FILE* log;
};

Standin standin = { 0, 735, 0, 0, 0, 0, -1, -1, NULL, false, NULL };
int standin_handle = 1;

long environment_number(const char* name, long fallback)
{
    char text[64];
    DWORD length = GetEnvironmentVariableA(name, text, sizeof(text));
    if (length == 0 || length >= sizeof(text)) {
        return fallback;
    }
    return std::strtol(text, NULL, 10);
}

void log_line(const char* format, long a, long b, long c, long d, long e, long f, long g, long h, long i)
{
    if (!standin.log) {
        return;
    }
    std::fprintf(standin.log, format, a, b, c, d, e, f, g, h, i);
    std::fflush(standin.log);
}

typedef void(APIENTRY* clear_tex_image_fn)(GLuint, GLint, GLenum, GLenum, const void*);

// The program leaves its render targets undefined; frame 0 reads target 1,
// which is bound to unit 0 when the first query comes. Zeroing it gives the
// start the renderer uses, so that frames can be compared bit for bit.
void clear_first_input()
{
    clear_tex_image_fn clear_tex_image =
        reinterpret_cast<clear_tex_image_fn>(reinterpret_cast<void*>(wglGetProcAddress("glClearTexImage")));
    GLint texture = 0;
    glGetIntegerv(0x8069, &texture);  // GL_TEXTURE_BINDING_2D
    if (clear_tex_image && texture) {
        const unsigned short zero[4] = { 0, 0, 0, 0 };
        clear_tex_image(static_cast<GLuint>(texture), 0, GL_RGBA, GL_UNSIGNED_SHORT, zero);
    }
}

void capture_window(const GLint viewport[4])
{
    int width = viewport[2];
    int height = viewport[3];
    if (width <= 0 || height <= 0) {
        return;
    }
    size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(size));
    if (!pixels) {
        return;
    }
    // The last frame was presented by the swap before this query and nothing
    // has been drawn since. Under Wine on Xvfb the front buffer reads back
    // empty; Mesa's software drivers keep the back buffer through the swap
    // (it is the image they copied to the window), so that is read.
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(viewport[0], viewport[1], width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    std::FILE* file = std::fopen("window.rgba", "wb");
    if (file) {
        std::fwrite(pixels, 1, size, file);
        std::fclose(file);
    }
    std::free(pixels);
    log_line("capture %ld %ld\n", width, height, 0, 0, 0, 0, 0, 0, 0);
}

void save_audio()
{
    if (standin.audio_saved || !standin.header || standin.lowest_position < 0) {
        return;
    }
    standin.audio_saved = true;
    glFinish();
    long frames = static_cast<long>(standin.header->dwBufferLength / 8);
    long first = standin.lowest_position + WRITE_AHEAD_FIRST;
    long last = standin.highest_position + WRITE_AHEAD_LAST;
    if (last > frames - 1) {
        last = frames - 1;
    }
    long count = last >= first ? last - first + 1 : 0;
    std::FILE* file = std::fopen("audio.f32", "wb");
    if (file) {
        std::fwrite(standin.header->lpData + first * 8, 8, static_cast<size_t>(count), file);
        std::fclose(file);
    }
    log_line("audio %ld %ld\n", first, count, 0, 0, 0, 0, 0, 0, 0);
}

long next_position()
{
    long query = standin.queries++;
    long position;
    bool stopped = standin.stop_frames > 0 && !standin.keep_running && query >= standin.stop_frames;
    if (stopped) {
        position = standin.last_position;
    } else {
        position = standin.start + standin.step * query;
    }
    if (standin.header && (standin.header->dwFlags & WHDR_INQUEUE)) {
        long end = static_cast<long>(standin.header->dwBufferLength / 8);
        if (position > end) {
            position = end;
        }
    }
    if (position < 0) {
        position = 0;
    }
    standin.last_position = position;
    if (standin.lowest_position < 0 || position < standin.lowest_position) {
        standin.lowest_position = position;
    }
    if (position > standin.highest_position) {
        standin.highest_position = position;
    }

    if (query == 0) {
        clear_first_input();
    }
    GLint viewport[4] = { 0, 0, 0, 0 };
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    log_line("query %ld position %ld viewport %ld %ld %ld %ld texture %ld %ld\n", query, position,
             viewport[0], viewport[1], viewport[2], viewport[3], width, height, 0);
    // The loop sees a quit message only at its next turn and draws one more
    // frame after it: posted at the start of frame N - 1, it ends the loop
    // after frame N, the one whose query saves frame N - 1's image. That last
    // frame gets an empty viewport, so it costs nothing and writes nothing.
    if (standin.stop_frames > 0 && !standin.keep_running && query == standin.stop_frames - 1) {
        PostQuitMessage(0);
    }
    // A test that cannot know the frame in advance asks for the image by
    // creating "capture.now"; the next query saves the last frame shown.
    if (GetFileAttributesA("capture.now") != INVALID_FILE_ATTRIBUTES) {
        DeleteFileA("capture.now");
        capture_window(viewport);
    }
    if (standin.stop_frames > 0 && query == standin.stop_frames) {
        capture_window(viewport);
        if (!standin.keep_running) {
            glViewport(0, 0, 0, 0);
        }
    }
    return position;
}

}  // namespace

extern "C" {

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT wave_out, UINT device, LPCWAVEFORMATEX format, DWORD_PTR callback,
                            DWORD_PTR instance, DWORD flags)
{
    (void)device;
    (void)callback;
    (void)instance;
    (void)flags;
    standin.start = environment_number("INTRO_WAVE_START", 0);
    standin.step = environment_number("INTRO_WAVE_STEP", 735);
    standin.stop_frames = environment_number("INTRO_WAVE_FRAMES", 0);
    standin.keep_running = environment_number("INTRO_WAVE_KEEP_RUNNING", 0);
    if (!standin.log) {
        standin.log = std::fopen("wave_standin.log", "w");
    }
    if (format) {
        log_line("open %ld %ld %ld %ld\n", static_cast<long>(format->nSamplesPerSec), format->nChannels,
                 format->wBitsPerSample, format->wFormatTag, 0, 0, 0, 0, 0);
    }
    if (wave_out) {
        *wave_out = reinterpret_cast<HWAVEOUT>(&standin_handle);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutGetPosition(HWAVEOUT wave_out, LPMMTIME time, UINT size)
{
    (void)wave_out;
    long position = next_position();
    if (time && size >= sizeof(MMTIME)) {
        time->wType = TIME_SAMPLES;
        time->u.sample = static_cast<DWORD>(position);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT wave_out, LPWAVEHDR header, UINT size)
{
    (void)wave_out;
    (void)size;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT wave_out, LPWAVEHDR header, UINT size)
{
    (void)wave_out;
    (void)size;
    standin.header = header;
    header->dwFlags |= WHDR_INQUEUE;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT wave_out)
{
    (void)wave_out;
    save_audio();
    if (standin.header) {
        standin.header->dwFlags = (standin.header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT wave_out, LPWAVEHDR header, UINT size)
{
    (void)wave_out;
    (void)size;
    save_audio();
    if (header->dwFlags & WHDR_INQUEUE) {
        return WAVERR_STILLPLAYING;
    }
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT wave_out)
{
    (void)wave_out;
    save_audio();
    if (standin.log) {
        std::fclose(standin.log);
        standin.log = NULL;
    }
    return MMSYSERR_NOERROR;
}

BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags)
{
    (void)sound;
    (void)flags;
    return TRUE;
}

}
