// The engine's algorithms, and where each comes from.
//
// This header declares nothing: it is the engine's table of contents. Each
// file named here tells how it does what it does; the sources below are
// cited here once.
//
// What a result is
//   The pair-list procedure (engine/matrix/agglomerate.cpp): the least pair
//   merges, the first made of equal ones (engine/pair_order.h); the new
//   cluster is valued against the others by its method's update rule. It
//   defines every tree the engine gives, to the last bit; the tests keep it
//   literally (tests/engine_oracle.h).
//
//   Lance-Williams updates (engine/update_rules.h): every method's rule is
//   a member of the family of G. N. Lance and W. T. Williams, "A general
//   theory of classificatory sorting strategies: 1. Hierarchical systems",
//   The Computer Journal 9 (1967) 373-380. The median method is J. C.
//   Gower's, "A comparison of some methods of cluster analysis", Biometrics
//   23 (1967) 623-637; Ward's criterion is J. H. Ward's, "Hierarchical
//   grouping to optimize an objective function", JASA 58 (1963) 236-244,
//   in the Lance-Williams form of D. Wishart, "An algorithm for hierarchical
//   classifications", Biometrics 25 (1969) 165-170.
//
// The matrix path (engine/matrix/)
//   The generic algorithm: a nearest-neighbour candidate per cluster and a
//   priority structure over them (engine/candidate_tree.h, a tournament
//   tree), candidates rescanned only when their partner has gone; as in D.
//   Müllner, "Modern hierarchical, agglomerative clustering algorithms",
//   arXiv:1109.2378 (2011), section 3.1, after M. R. Anderberg, Cluster
//   Analysis for Applications (1973). It makes the pair-list procedure's
//   merges, not merely an equivalent tree, because its candidates keep the
//   procedure's tie order.
//
//   Single linkage in one pass (engine/matrix/single_linkage_pass.h): the
//   pointer representation of R. Sibson, "SLINK: an optimally efficient
//   algorithm for the single-link cluster method", The Computer Journal 16
//   (1973) 30-34 (a caller's condensed doubles are taken last object
//   first, so that each object's values are one run of memory); its levels
//   are then merged in the procedure's tie order
//   over disjoint sets, as J. B. Kruskal's tree takes its edges ("On the
//   shortest spanning subtree of a graph", Proc. AMS 7 (1956) 48-50).
//
// The coordinate path (engine/coordinates/)
//   Ward's method by the nearest-neighbour chain (ward_chain.cpp), which
//   Ward's reducible criterion allows: J.-P. Benzécri, "Construction d'une
//   classification ascendante hiérarchique par la recherche en chaîne des
//   voisins réciproques", Les Cahiers de l'Analyse des Données 7 (1982)
//   209-218; F. Murtagh, "A survey of recent advances in hierarchical
//   clustering algorithms", The Computer Journal 26 (1983) 354-359.
//
//   The centroid and median methods by the generic algorithm over stored
//   centroids (centroid_linkage.cpp), as Müllner's section 3.1 above; their
//   heights may fall, so no chain can find them.
//
//   Single linkage from a minimum spanning tree (spanning_tree.cpp), grown
//   by R. C. Prim, "Shortest connection networks and some generalizations",
//   Bell System Technical Journal 36 (1957) 1389-1401; that the tree gives
//   the single-linkage hierarchy is J. C. Gower and G. J. S. Ross, "Minimum
//   spanning trees and single linkage cluster analysis", Applied Statistics
//   18 (1969) 54-64. Its edges are merged in height order over disjoint sets
//   (merges_by_height.h), Kruskal's order.
//
// What both share
//   Disjoint sets with path halving and union by size (engine/union_find.h):
//   R. E. Tarjan and J. van Leeuwen, "Worst-case analysis of set union
//   algorithms", JACM 31 (1984) 245-281.
//
//   The optimal leaf order (engine/leaf_order.h): Z. Bar-Joseph, D. K.
//   Gifford and T. S. Jaakkola, "Fast optimal leaf ordering for
//   hierarchical clustering", Bioinformatics 17 (2001) S22-S29, its O(n^3)
//   recurrence without the early ends of the search.
//
//   The cophenetic correlation (engine/cophenetic.h): R. R. Sokal and F. J.
//   Rohlf, "The comparison of dendrograms by objective methods", Taxon 11
//   (1962) 33-40.
//
//   Exact decisions from doubles: bounds of 80-bit values by doubles
//   (engine/double_bounds.h, engine/coordinates/scan_bounds.h), with the
//   error analysis of N. J. Higham, Accuracy and Stability of Numerical
//   Algorithms, 2nd ed. (2002), chapters 2 and 4.
#pragma once
