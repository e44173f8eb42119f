// UCP/EMI operation 51, submit short message, the dial-in protocol of the
// D2 SMS centre: no logon, one frame per message, answered by a positive
// or negative result.
#pragma once

#include "sms_centre_call.h"

class CSMSEmi : public CSMSCentreCall {
public:
    CSMSEmi();

    // EMI has no logon and no logout: both send nothing and return 1.
    int Logon();
    int Logout();
    // Texts are UTF-8; the fourth is not used. 1 when the centre accepted.
    int SendSMSMessage(const char* originator, const char* recipient, const char* text,
                       const char* unused);

    // One receive with the reply wait; 1 when the line gave no error, also
    // when nothing came.
    int GetMessage();
    // 1 for a positive result of operation 51. A reply of that form fills
    // the reply text with the two fields after the acknowledgement; any
    // other leaves it as it was.
    int AnalyzeMessage();
    int GetAndAnalyzeMessage();
};
