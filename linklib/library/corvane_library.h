// The library's life in a process: RCOInitLinkDLL(TRUE) makes the CAPI
// application, the one connection object and the dispatch thread;
// RCOExitLinkDLL ends them.
#pragma once

class LinkConnection;

// The library's connection object, or null before start and after stop.
LinkConnection* CorvaneConnection();
