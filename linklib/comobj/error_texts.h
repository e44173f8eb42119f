// German texts for the link's return codes, as CRComObj::GetErrorText gives them.
#pragma once

const char* ErrorText(unsigned short code);
