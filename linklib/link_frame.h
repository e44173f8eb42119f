// The process-wide part of the library: the CAPI application, the one
// connection object and the dispatch thread that polls CAPI.
#pragma once

class LinkConnection;

// The library's connection object, or null before start and after stop.
LinkConnection* CorvaneConnection();
