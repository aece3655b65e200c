// Frame playback: the toolbar's Play and Rewind and the step that the
// change procedure takes at each idle raise while Play is down.
#include <wx/stattext.h>
#include <wx/toolbar.h>

#include "app/app_ids.h"
#include "app/main_frame.h"
#include "data/dynabuf.h"
#include "registry/resource_table.h"

namespace {
const std::vector<uint64_t> kNoTimestamps;
const std::vector<uint64_t>& timestamps() { return frame_store ? frame_store->timestamps : kNoTimestamps; }
}  // namespace

void MainFrame::OnPlay(wxCommandEvent& event) {
  resource_table_t& rt = *resource_table;
  const bool start = event.IsChecked();
  // A call from a script moves the tool along with playback.
  if (toolbar->FindById(ID_TOOL_PLAY) && toolbar->GetToolState(ID_TOOL_PLAY) != start)
    toolbar->ToggleTool(ID_TOOL_PLAY, start);
  if (start) {
    if (!playing_) rt.RES_IDLE_EVENT->add_proc(update_functor);
    playing_ = true;
    playback_watch.Start();
    playback_.restart();
    if (frames_label)
      frames_label->SetLabel(frames_status_text(playback_rate(timestamps(), rt.RES_BUF_FRAMES->read()), -1));
    set_tool_picture(ID_TOOL_PLAY, PIC_PAUSE);
  } else {
    if (playing_) rt.RES_IDLE_EVENT->remove_proc(update_functor);
    playing_ = false;
    if (frames_label) frames_label->SetLabel(frames_status_text(0, -1));
    set_tool_picture(ID_TOOL_PLAY, PIC_PLAY);
  }
}

void MainFrame::OnRewind(wxCommandEvent&) {
  resource_table->RES_BUF_CURRENT_FRAME->write(0);
  playback_watch.Start();
  playback_.restart();
}

// Block of the change procedure run at each idle raise while Play is down.
void MainFrame::playback_step() {
  resource_table_t& rt = *resource_table;
  const int32_t current = rt.RES_BUF_CURRENT_FRAME->read();
  switch (playback_.step(timestamps(), rt.RES_BUF_FRAMES->read(), current,
                         playback_watch.TimeInMicro().GetValue())) {
    case playback_action::wait:
      break;
    case playback_action::advance:
      rt.RES_BUF_CURRENT_FRAME->write(current + 1);
      break;
    case playback_action::stop: {
      toolbar->ToggleTool(ID_TOOL_PLAY, false);
      wxCommandEvent stop(wxEVT_MENU, ID_TOOL_PLAY);
      stop.SetInt(0);
      OnPlay(stop);
      break;
    }
  }
}
