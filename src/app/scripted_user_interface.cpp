// The scripted front end: answers from a prepared script and records everything it is shown.
#include <algorithm>
#include <iterator>
#include <utility>

#include "app/app.hpp"

namespace {

class CScriptedProgressWindow final : public IProgressWindow {
  public:
    explicit CScriptedProgressWindow(CScriptedUserInterface& ui) : m_ui(ui) {}

    void ShowProgress(uint32_t stage, int16_t percent, const char* text) override {
        UiEvent event;
        event.kind = UiEvent::Kind::Progress;
        event.stage = stage;
        event.value = percent;
        event.text = text != nullptr ? text : "";
        m_ui.Record(std::move(event));
    }
    void CloseProgress() override {
        UiEvent event;
        event.kind = UiEvent::Kind::CloseProgress;
        m_ui.Record(std::move(event));
    }

  private:
    CScriptedUserInterface& m_ui;
};

UiEvent MakeEvent(UiEvent::Kind kind) {
    UiEvent event;
    event.kind = kind;
    return event;
}

}  // namespace

void CScriptedUserInterface::Attach(CFirmwareUpdater* updater) {
    m_updater = updater;
    if (updater != nullptr) {
        updater->m_pPromptBar = this;
    }
}

std::vector<UiEvent> CScriptedUserInterface::EventsOf(UiEvent::Kind kind) const {
    std::vector<UiEvent> found;
    std::copy_if(m_events.begin(), m_events.end(), std::back_inserter(found),
                 [kind](const UiEvent& event) { return event.kind == kind; });
    return found;
}

size_t CScriptedUserInterface::Count(UiEvent::Kind kind) const {
    return static_cast<size_t>(
        std::count_if(m_events.begin(), m_events.end(),
                      [kind](const UiEvent& event) { return event.kind == kind; }));
}

void CScriptedUserInterface::Record(UiEvent event) {
    event.atMs = NowMs();
    m_events.push_back(std::move(event));
    if (onEvent) {
        onEvent(m_events.back());
    }
}

ViewRect CScriptedUserInterface::ViewClientRect() {
    Record(MakeEvent(UiEvent::Kind::ViewRect));
    return viewRect;
}

void CScriptedUserInterface::RepaintView() {
    Record(MakeEvent(UiEvent::Kind::RepaintView));
}

int CScriptedUserInterface::RunPortDialog(int16_t* port) {
    PortAnswer answer{kDialogQuit, 0};
    if (!portAnswers.empty()) {
        answer = portAnswers.front();
        portAnswers.pop_front();
    }
    if (answer.result == kDialogOk) {
        // As the dialog's OK handler does: the port, then the searching prompt.
        *port = answer.port;
        if (m_updater != nullptr) {
            m_updater->ShowPrompt(PromptSearching);
        }
    }
    UiEvent event = MakeEvent(UiEvent::Kind::PortDialog);
    event.result = answer.result;
    event.value = answer.port;
    Record(std::move(event));
    return answer.result;
}

int CScriptedUserInterface::RunTextDialog(DialogId dialog, const std::string& text) {
    int result = kDialogQuit;
    if (!dialogAnswers.empty()) {
        result = dialogAnswers.front();
        dialogAnswers.pop_front();
    }
    UiEvent event = MakeEvent(UiEvent::Kind::TextDialog);
    event.dialog = dialog;
    event.text = text;
    event.result = result;
    Record(std::move(event));
    return result;
}

void CScriptedUserInterface::ShowMessage(const std::string& text, const std::string& extendedText) {
    UiEvent event = MakeEvent(UiEvent::Kind::Message);
    event.text = text;
    event.detail = extendedText;
    Record(std::move(event));
}

void CScriptedUserInterface::ShowNotice(const std::string& text) {
    UiEvent event = MakeEvent(UiEvent::Kind::Notice);
    event.text = text;
    Record(std::move(event));
}

int16_t CScriptedUserInterface::ChooseFile(const std::string& filter,
                                           const std::string& initialName, std::string* path) {
    FileAnswer answer{kChooseCancelled, {}};
    if (!fileAnswers.empty()) {
        answer = fileAnswers.front();
        fileAnswers.pop_front();
    }
    if (answer.code == kChooseOk) {
        *path = answer.path;
    }
    UiEvent event = MakeEvent(UiEvent::Kind::ChooseFile);
    event.text = filter;
    event.detail = initialName;
    event.detail2 = answer.path;
    event.result = answer.code;
    Record(std::move(event));
    return answer.code;
}

void CScriptedUserInterface::BeginWaitCursor() {
    Record(MakeEvent(UiEvent::Kind::WaitCursorOn));
}

void CScriptedUserInterface::EndWaitCursor() {
    Record(MakeEvent(UiEvent::Kind::WaitCursorOff));
}

std::unique_ptr<IProgressWindow> CScriptedUserInterface::CreateProgressWindow() {
    UiEvent event = MakeEvent(UiEvent::Kind::CreateProgress);
    event.result = progressWindowAvailable ? 1 : 0;
    Record(std::move(event));
    if (!progressWindowAvailable) {
        return nullptr;
    }
    return std::make_unique<CScriptedProgressWindow>(*this);
}

void CScriptedUserInterface::Repaint() {
    UiEvent event = MakeEvent(UiEvent::Kind::Prompt);
    event.text = m_updater != nullptr ? m_updater->m_promptText : std::string();
    Record(std::move(event));
}
