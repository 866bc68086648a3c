// Answers given ahead to the terminal front end's questions (tk358fw --console --port --file).
#include <utility>

#include "app/app.hpp"

CPresetAnswers::CPresetAnswers(ConsoleAnswers answers)
    : m_answers(std::move(answers)),
      m_unattended(m_answers.port.has_value() && m_answers.file.has_value()) {}

std::optional<std::string> CPresetAnswers::Take(Question question) {
    std::optional<std::string> answer;
    switch (question) {
        case Question::Port:
            if (m_answers.port) {
                answer = *m_answers.port == 0 ? "AUTO" : "COM" + std::to_string(*m_answers.port);
                m_answers.port.reset();
            }
            break;
        case Question::File:
            answer = std::exchange(m_answers.file, std::nullopt);
            break;
        case Question::ContinueOrQuit:
        case Question::Acknowledge:
            if (m_unattended) {
                answer = SafeAnswer(question);
            }
            break;
    }
    return answer;
}

std::string CPresetAnswers::SafeAnswer(Question question) {
    switch (question) {
        case Question::Port:
        case Question::ContinueOrQuit:
            return "Quit";
        case Question::File:  // an empty path cancels the choice
        case Question::Acknowledge:
            break;
    }
    return {};
}
