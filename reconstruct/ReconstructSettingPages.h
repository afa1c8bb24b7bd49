#pragma once

namespace quippet {

class CatalogueBuilder;

/// The settings catalogue's pages of the reconstruction: its tab, its detailed settings, its interface
/// and the tail information of its file names.
void add_reconstruct_setting_pages(CatalogueBuilder& b);

} // namespace quippet
