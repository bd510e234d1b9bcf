#include "overlay.h"

#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "cut_table.h"

namespace view {
namespace {

const ImU32 kSectionColours[kSectionCount] = {
    IM_COL32(60, 70, 120, 200), IM_COL32(70, 100, 140, 200), IM_COL32(130, 80, 50, 200),
    IM_COL32(150, 60, 90, 200), IM_COL32(80, 80, 80, 200)};

constexpr float kTimelineHeight = 46.0f;

void draw_timeline(const OverlayView& v, ImDrawList* draw, ImVec2 origin, float width) {
  const float top = origin.y, mid = origin.y + 18.0f, bottom = origin.y + kTimelineHeight - 6.0f;
  auto x_of = [&](double s) { return origin.x + static_cast<float>(s / kEndSeconds) * width; };

  for (int i = 0; i < kSectionCount; ++i) {
    const Section& s = kSections[i];
    draw->AddRectFilled(ImVec2(x_of(s.from), top), ImVec2(x_of(s.to), mid - 2.0f), kSectionColours[i]);
    draw->PushClipRect(ImVec2(x_of(s.from), top), ImVec2(x_of(s.to), mid), true);
    draw->AddText(ImVec2(x_of(s.from) + 4.0f, top + 1.0f), IM_COL32(230, 230, 230, 255), s.name);
    draw->PopClipRect();
  }
  draw->AddRectFilled(ImVec2(x_of(0), mid), ImVec2(x_of(kEndSeconds), bottom), IM_COL32(25, 25, 25, 210));
  if (v.loop) {
    draw->AddRectFilled(ImVec2(x_of(cut_start(v.cut)), mid), ImVec2(x_of(cut_end(v.cut)), bottom),
                        IM_COL32(60, 120, 60, 200));
  }
  for (int c = kOpening; c < kCutCount; ++c) {
    const float x = x_of(cut_start(c));
    const bool current = c == v.cut;
    draw->AddLine(ImVec2(x, mid), ImVec2(x, bottom), IM_COL32(200, 200, 200, 255));
    char label[8];
    std::snprintf(label, sizeof label, "%d", c < 0 ? 0 : c + 1);
    if (c >= 0) {
      draw->AddText(ImVec2(x + 2.0f, mid + 2.0f), current ? IM_COL32(255, 220, 80, 255) : IM_COL32(170, 170, 170, 255),
                    label);
    }
  }
  const float head = x_of(v.seconds);
  draw->AddLine(ImVec2(head, top), ImVec2(head, bottom), IM_COL32(255, 60, 40, 255), 2.0f);
}

}  // namespace

int overlay_init(SDL_Window* window, SDL_GLContext context) {
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // leave no imgui.ini in the working folder
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  if (!ImGui_ImplSDL2_InitForOpenGL(window, context)) return 0;
  if (!ImGui_ImplOpenGL3_Init("#version 130")) return 0;
  return 1;
}

void overlay_shutdown() {
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
}

int overlay_event(const SDL_Event& event) {
  ImGui_ImplSDL2_ProcessEvent(&event);
  const bool mouse = event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP ||
                     event.type == SDL_MOUSEMOTION || event.type == SDL_MOUSEWHEEL;
  return mouse && ImGui::GetIO().WantCaptureMouse ? 1 : 0;
}

int overlay_draw(const OverlayView& v, double& seek_seconds) {
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  const ImVec2 size = ImGui::GetIO().DisplaySize;
  const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                 ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                                 ImGuiWindowFlags_NoNav;

  // Status at the top, in the upper letterbox bar.
  // A fixed size: a window that fits itself to its text is hidden on its
  // first frame, which would leave the status out of a first-frame screenshot.
  const int lines = 2 + (v.notice.empty() ? 0 : 1) + (v.error.empty() ? 0 : 1 + 8);
  const ImGuiStyle& style = ImGui::GetStyle();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImVec2(size.x, lines * ImGui::GetTextLineHeightWithSpacing() + 2 * style.WindowPadding.y));
  ImGui::SetNextWindowBgAlpha(0.45f);
  ImGui::Begin("status", nullptr, flags);
  char cut[32];
  if (v.cut < 0) {
    std::snprintf(cut, sizeof cut, "opening");
  } else {
    std::snprintf(cut, sizeof cut, "cut %d/%d (shot %d)", v.cut + 1, kCutCount, v.shot);
  }
  char timing[64];
  if (v.scene_ms >= 0) {
    std::snprintf(timing, sizeof timing, "scene %.1f ms  post %.1f ms", v.scene_ms, v.post_ms);
  } else {
    std::snprintf(timing, sizeof timing, "%s", v.timer_queries ? "scene/post: measuring" : "scene/post: no timer queries");
  }
  ImGui::Text("%7.3f s  %s  %s%s  %.2f fps  %s", v.seconds, cut, v.paused ? "paused" : "playing",
              v.loop ? "  loop" : "", v.fps, timing);
  ImGui::Text("%s  program %d%s%s", v.renderer.c_str(), v.generation, v.watch.empty() ? "" : "  watching ",
              v.watch.c_str());
  if (!v.notice.empty()) ImGui::TextColored(ImVec4(1.0f, 0.85f, 0.4f, 1.0f), "%s", v.notice.c_str());
  if (!v.error.empty()) {
    ImGui::TextColored(ImVec4(1.0f, 0.4f, 0.35f, 1.0f), "shader error, the last good program plays on:");
    ImGui::PushTextWrapPos(size.x - 20.0f);
    ImGui::TextColored(ImVec4(1.0f, 0.55f, 0.5f, 1.0f), "%s", v.error.c_str());
    ImGui::PopTextWrapPos();
  }
  ImGui::End();

  // Timeline at the bottom, in the lower letterbox bar.
  int seeking = 0;
  const float pad = 8.0f;
  ImGui::SetNextWindowPos(ImVec2(0, std::max(0.0f, size.y - kTimelineHeight - 2 * pad)));
  ImGui::SetNextWindowSize(ImVec2(size.x, kTimelineHeight + 2 * pad));
  ImGui::SetNextWindowBgAlpha(0.35f);
  ImGui::Begin("timeline", nullptr, flags);
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const float width = std::max(10.0f, size.x - 2 * pad);
  ImGui::InvisibleButton("strip", ImVec2(width, kTimelineHeight - 6.0f));
  if (ImGui::IsItemActive()) {
    const float x = ImGui::GetIO().MousePos.x - origin.x;
    seek_seconds = std::clamp(static_cast<double>(x / width) * kEndSeconds, 0.0, kEndSeconds);
    seeking = 1;
  }
  draw_timeline(v, ImGui::GetWindowDrawList(), origin, width);
  ImGui::End();

  ImGui::Render();
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  return seeking;
}

}  // namespace view
