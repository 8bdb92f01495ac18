# Who the program is, defined once for every build (Linux, Windows, the
# installer): its name, version, summary, and one reverse-DNS id that names its
# desktop entry, icon, metainfo and windows alike, with the home page of the domain
# that id (and the maintainer's address) name. Included before project().
set(VARNEL_PRODUCT_NAME "Varnel")
set(VARNEL_VERSION 1.0.0)
set(VARNEL_APP_ID "org.varnel.Varnel")
set(VARNEL_HOMEPAGE "https://varnel.org/")
set(VARNEL_SUMMARY "Play audio CDs and keep a song list per disc")
set(VARNEL_COPYRIGHT "Copyright (C) 2026 the Varnel developers")
string(TOLOWER "${VARNEL_PRODUCT_NAME}" VARNEL_PRODUCT_FOLDER)
