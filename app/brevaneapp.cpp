#include "app/brevaneapp.h"

BrevaneApp::BrevaneApp(const Seams& seams)
    : m_seams(seams), m_window(m_mod), m_linkEditor(m_mod, m_window),
      m_fileCommands(m_mod, m_window, m_seams), m_transferCommands(m_mod, m_window, m_seams) {}
