# Where an installation puts the programs and the files that come with them
# (GNU directories; a Debian build installs under /usr). Two components follow
# the two packages: "nerolin" (the agent and nerolin-tool) and "devservice"
# (the reference service for integrators, with its development PKI).

install(TARGETS nerolin nerolin-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT nerolin)
install(FILES LICENSE THIRD-PARTY-NOTICES DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nerolin COMPONENT nerolin)

install(TARGETS nerolin-devservice RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT devservice)
# The service finds this folder from its own place (tools/devservice/Options.cpp).
install(DIRECTORY testdata/pki/ DESTINATION ${NEROLIN_DEVSERVICE_PKI_DIR} COMPONENT devservice
  PATTERN README.md EXCLUDE)
