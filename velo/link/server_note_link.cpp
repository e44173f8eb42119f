#include "server_note_link.h"

#include "textcodec.h"

ServerNoteLink::ServerNoteLink(const std::string& appName)
    : server_(std::make_unique<CRServerObj>()) {
    std::string name = appName;
    server_->SetAppName(name.data());
    RCOInitLinkDLL(FALSE);
}

unsigned short ServerNoteLink::Connect(const std::string& number, const std::string& msn,
                                       unsigned long waitSteps) {
    std::string address = number, parameter = msn;
    return server_->Connect(address.data(), parameter.data(), waitSteps);
}

unsigned short ServerNoteLink::Disconnect(unsigned long waitSteps) {
    return server_->Disconnect(waitSteps);
}

std::string ServerNoteLink::DisconnectInfo(unsigned short& reason) {
    const char* text = server_->GetDisconnectInfo(reason);
    return text ? text : "";
}

unsigned short ServerNoteLink::RequestId() {
    return server_->RequestId();
}

unsigned short ServerNoteLink::GetServerVersion(int& version) {
    return server_->GetServerVersion(version);
}

unsigned short ServerNoteLink::ExecRemCmd(const std::string& commandLine) {
    std::string wire = Utf8ToCp1252(commandLine);
    return server_->ExecRemCmd(wire.data());
}

unsigned short ServerNoteLink::RemoteResult() {
    return server_->GetRespResult();
}

std::string ServerNoteLink::ResponseText() {
    const unsigned char* data = server_->GetRespBuffer();
    if (!data) return "";
    return Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(data), server_->GetRespLength()));
}

std::string ServerNoteLink::ErrorText(unsigned short code) {
    const char* text = server_->GetErrorText(code);
    return text ? text : "";
}

NoteLinkFactory ServerNoteLinkFactory(const std::string& appName) {
    return [appName]() -> std::unique_ptr<NoteLink> {
        return std::make_unique<ServerNoteLink>(appName);
    };
}
