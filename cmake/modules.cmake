# Every module of the library: <subsystem folder>/<module name>. One entry here gives the module
# its stand-in-host builds (one per profile) and its GNU Octave build.
set(PAIRKERNELS_MODULES
    pairwise/pair_difference_vectors
    pairwise/pair_scatter_reciprocal
    aggregate/item_net_balance
    aggregate/item_closed_form_update
    pair_matrix/transformed_pair_vector_sum
)
